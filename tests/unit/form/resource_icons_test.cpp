// The two compiled-in icons: where they are, their format and what they show.

#include <gtest/gtest.h>

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPoint>

namespace {

const QString kTrayIcon = QStringLiteral(":/new/prefix1/iocn");
const QString kDisabledIcon = QStringLiteral(":/new/prefix1/disostrel.ico");

// Points of the 32 x 32 picture: a finder pattern's dark ring and centre, its light ring,
// the free bottom-right quarter, the middle of the right edge, and the four corners.
const QPoint kFinderRing{1, 1};
const QPoint kFinderLight{3, 7};
const QPoint kFinderCentre{7, 7};
const QPoint kTopRightCentre{24, 7};
const QPoint kBottomLeftCentre{7, 24};
const QPoint kFreeQuarter{24, 24};
const QPoint kRightEdge{31, 16};
const QPoint kCorners[] = {{0, 0}, {31, 0}, {0, 31}, {31, 31}};

QImage load(const QString& path) {
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "ico") << path.toStdString();
    const QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_TRUE(image.hasAlphaChannel());
    return image;
}

bool yellow(QColor c) {
    return c.alpha() == 255 && c.red() > 200 && c.green() > 150 && c.blue() < 80;
}

bool dark(QColor c) {
    return c.alpha() == 255 && c.lightness() < 64;
}

bool grey(QColor c) {
    return c.red() == c.green() && c.green() == c.blue();
}

TEST(ResourceIcons, TrayIconIsDarkFinderPatternsOnOpaqueYellow) {
    const QImage image = load(kTrayIcon);
    for (QPoint p : {kFreeQuarter, kRightEdge, kFinderLight}) {
        EXPECT_TRUE(yellow(image.pixelColor(p))) << p.x() << "," << p.y();
    }
    for (QPoint p : {kFinderRing, kFinderCentre, kTopRightCentre, kBottomLeftCentre}) {
        EXPECT_TRUE(dark(image.pixelColor(p))) << p.x() << "," << p.y();
    }
    for (QPoint p : kCorners) {
        EXPECT_EQ(image.pixelColor(p).alpha(), 255) << p.x() << "," << p.y();
    }
    // No finder pattern in the bottom-right corner.
    EXPECT_TRUE(yellow(image.pixelColor(kCorners[3] - QPoint(2, 2))));
}

TEST(ResourceIcons, DisabledIconIsGreyWithTransparentRoundedCorners) {
    const QImage image = load(kDisabledIcon);
    for (QPoint p : kCorners) {
        EXPECT_EQ(image.pixelColor(p).alpha(), 0) << p.x() << "," << p.y();
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 0) {
                EXPECT_TRUE(grey(c)) << x << "," << y;
            }
        }
    }
    const QColor background = image.pixelColor(kFreeQuarter);
    EXPECT_EQ(background.alpha(), 255);
    EXPECT_GT(background.lightness(), 180);
    EXPECT_EQ(image.pixelColor(kRightEdge), background);
    for (QPoint p : {kFinderCentre, kTopRightCentre, kBottomLeftCentre}) {
        const QColor ink = image.pixelColor(p);
        EXPECT_EQ(ink.alpha(), 255);
        EXPECT_LT(ink.lightness(), background.lightness() - 60) << p.x() << "," << p.y();
    }
}

TEST(ResourceIcons, TrayIconLoadsAsAnIconOfOneSize) {
    const QIcon icon(kTrayIcon);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
}

}  // namespace
