// The main window's form: object tree, texts, placement, layouts, behaviour of its widgets,
// slots connected by name and the translation lookup.

#include "main_window_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QToolBar>
#include <QTranslator>
#include <QVBoxLayout>

#include <memory>
#include <string>
#include <vector>

#include "qstring_printer.h"

namespace {

using Names = std::vector<std::string>;

// A main window with a few of the slots the real one binds by name.
class SlotWindow : public QMainWindow {
    Q_OBJECT

public:
    int setCodeClicks = 0;
    QStringList intervals;

private slots:
    void on_setCode_clicked() { ++setCodeClicks; }
    void on_interval_textChanged(const QString& text) { intervals << text; }
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { form.setup(window.get()); }

    // The object with this name: the window itself or one of its descendants.
    QObject* object(const char* name) const {
        if (window->objectName() == QLatin1String(name)) {
            return window.get();
        }
        return window->findChild<QObject*>(QLatin1String(name));
    }

    template <typename T>
    T* find(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }

    std::unique_ptr<SlotWindow> window = std::make_unique<SlotWindow>();
    MainWindowForm form;
};

std::string nameOf(const QObject* o) {
    return o ? o->objectName().toStdString() : std::string("(none)");
}

// What a layout item holds: a widget's or layout's name, or "spacer".
std::string describe(QLayoutItem* item) {
    if (item->widget()) {
        return nameOf(item->widget());
    }
    if (item->layout()) {
        return nameOf(item->layout());
    }
    return item->spacerItem() ? "spacer" : "?";
}

TEST_F(FormTest, EveryObjectHasItsNameClassParentAndMember) {
    struct Row {
        QObject* member;
        const char* name;
        const char* className;
        const char* parent;
    };
    const MainWindowForm& f = form;
    const Row rows[] = {
        {f.centralWidget, "centralWidget", "QWidget", "MainWindow"},
        {f.groupBox_2, "groupBox_2", "QGroupBox", "centralWidget"},
        {f.verticalLayout_5, "verticalLayout_5", "QVBoxLayout", "groupBox_2"},
        {f.backlightControl, "backlightControl", "QCheckBox", "groupBox_2"},
        {f.beepControl, "beepControl", "QCheckBox", "groupBox_2"},
        {f.enterBox, "enterBox", "QCheckBox", "groupBox_2"},
        {f.wrapBox, "wrapBox", "QCheckBox", "groupBox_2"},
        {f.groupBox_3, "groupBox_3", "QGroupBox", "centralWidget"},
        {f.layoutWidget, "layoutWidget", "QWidget", "groupBox_3"},
        {f.verticalLayout_4, "verticalLayout_4", "QVBoxLayout", "layoutWidget"},
        {f.horizontalLayout, "horizontalLayout", "QHBoxLayout", "verticalLayout_4"},
        {f.verticalLayout, "verticalLayout", "QVBoxLayout", "horizontalLayout"},
        {f.qrcode, "qrcode", "QCheckBox", "layoutWidget"},
        {f.code39, "code39", "QCheckBox", "layoutWidget"},
        {f.code93, "code93", "QCheckBox", "layoutWidget"},
        {f.pdf417, "pdf417", "QCheckBox", "layoutWidget"},
        {f.industrial25, "industrial25", "QCheckBox", "layoutWidget"},
        {f.code128, "code128", "QCheckBox", "layoutWidget"},
        {f.verticalLayout_2, "verticalLayout_2", "QVBoxLayout", "horizontalLayout"},
        {f.ean8, "ean8", "QCheckBox", "layoutWidget"},
        {f.ean13, "ean13", "QCheckBox", "layoutWidget"},
        {f.itf, "itf", "QCheckBox", "layoutWidget"},
        {f.upce, "upce", "QCheckBox", "layoutWidget"},
        {f.upca, "upca", "QCheckBox", "layoutWidget"},
        {f.datamatrix, "datamatrix", "QCheckBox", "layoutWidget"},
        {f.horizontalLayout_8, "horizontalLayout_8", "QHBoxLayout", "verticalLayout_4"},
        {f.setCode, "setCode", "QPushButton", "layoutWidget"},
        {f.verticalLayout_3, "verticalLayout_3", "QVBoxLayout", "verticalLayout_4"},
        {f.horizontalLayout_2, "horizontalLayout_2", "QHBoxLayout", "verticalLayout_3"},
        {f.label_2, "label_2", "QLabel", "layoutWidget"},
        {f.preedit, "preedit", "QLineEdit", "layoutWidget"},
        {f.horizontalLayout_3, "horizontalLayout_3", "QHBoxLayout", "verticalLayout_3"},
        {f.label_3, "label_3", "QLabel", "layoutWidget"},
        {f.suffedit, "suffedit", "QLineEdit", "layoutWidget"},
        {f.horizontalLayout_7, "horizontalLayout_7", "QHBoxLayout", "verticalLayout_3"},
        {f.label_4, "label_4", "QLabel", "layoutWidget"},
        {f.horizontalLayout_4, "horizontalLayout_4", "QHBoxLayout", "horizontalLayout_7"},
        {f.singlemode, "singlemode", "QRadioButton", "layoutWidget"},
        {f.intervalmode, "intervalmode", "QRadioButton", "layoutWidget"},
        {f.horizontalLayout_6, "horizontalLayout_6", "QHBoxLayout", "verticalLayout_3"},
        {f.horizontalLayout_5, "horizontalLayout_5", "QHBoxLayout", "horizontalLayout_6"},
        {f.label, "label", "QLabel", "layoutWidget"},
        {f.interval, "interval", "QLineEdit", "layoutWidget"},
        {f.opendev, "opendev", "QPushButton", "centralWidget"},
        {f.label_5, "label_5", "QLabel", "centralWidget"},
        {f.statelable, "statelable", "QLabel", "centralWidget"},
        {f.menuBar, "menuBar", "QMenuBar", "MainWindow"},
        {f.mainToolBar, "mainToolBar", "QToolBar", "MainWindow"},
        {f.toolBar, "toolBar", "QToolBar", "MainWindow"},
    };
    EXPECT_EQ(window->objectName(), "MainWindow");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(window->findChildren<QObject*>(QLatin1String(row.name)).size(), 1);
        QObject* found = object(row.name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found, row.member);
        EXPECT_STREQ(found->metaObject()->className(), row.className);
        EXPECT_EQ(nameOf(found->parent()), row.parent);
    }
    EXPECT_EQ(window->centralWidget(), form.centralWidget);
    EXPECT_EQ(window->menuBar(), form.menuBar);
    EXPECT_TRUE(form.menuBar->actions().isEmpty());
    EXPECT_EQ(form.centralWidget->layout(), nullptr);
}

// Every text in the order the form sets it.
struct Text {
    const char* object;
    const char* property;
    QString text;
};

const std::vector<Text>& texts() {
    static const std::vector<Text> all = {
        {"MainWindow", "windowTitle", QStringLiteral("T900驱动程序(正式版)v2.0.8.05")},
        {"groupBox_2", "title", QStringLiteral("基本设置")},
        {"backlightControl", "text", QStringLiteral("背光")},
        {"beepControl", "text", QStringLiteral("蜂鸣器")},
        {"enterBox", "text", QStringLiteral("回车")},
        {"wrapBox", "text", QStringLiteral("换行")},
        {"groupBox_3", "title", QStringLiteral("码制")},
        {"qrcode", "text", QStringLiteral("QRCODE")},
        {"code39", "text", QStringLiteral("CODE39")},
        {"code93", "text", QStringLiteral("CODE93")},
        {"pdf417", "text", QStringLiteral("PDF417")},
        {"industrial25", "text", QStringLiteral("矩阵25")},
        {"code128", "text", QStringLiteral("CODE128")},
        {"ean8", "text", QStringLiteral("EAN8")},
        {"ean13", "text", QStringLiteral("EAN13")},
        {"itf", "text", QStringLiteral("ITF")},
        {"upce", "text", QStringLiteral("UPCE")},
        {"upca", "text", QStringLiteral("UPCA")},
        {"datamatrix", "text", QStringLiteral("DATAMATRIX")},
        {"setCode", "text", QStringLiteral("更新码制")},
        {"label_2", "text", QStringLiteral("前缀：")},
        {"label_3", "text", QStringLiteral("后缀：")},
        {"label_4", "text", QStringLiteral("模式：")},
        {"singlemode", "text", QStringLiteral("单次模式")},
        {"intervalmode", "text", QStringLiteral("间隔模式")},
        {"label", "text", QStringLiteral("间隔时间(ms)：")},
        {"opendev", "text", QStringLiteral("打开设备")},
        {"label_5", "text", QStringLiteral("设备状态：")},
        {"statelable", "text", QStringLiteral("disconnect")},
        {"toolBar", "windowTitle", QStringLiteral("toolBar")},
    };
    return all;
}

TEST_F(FormTest, TextsAreExact) {
    for (const Text& t : texts()) {
        SCOPED_TRACE(t.object);
        QObject* o = object(t.object);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->property(t.property).toString(), t.text);
    }
    EXPECT_EQ(form.label->text().back(), QChar(0xFF1A));  // full-width colon
}

TEST_F(FormTest, InputsStartUncheckedAndEmpty) {
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        SCOPED_TRACE(nameOf(b));
        EXPECT_FALSE(b->isChecked());
    }
    for (const QLineEdit* e : window->findChildren<QLineEdit*>()) {
        SCOPED_TRACE(nameOf(e));
        EXPECT_TRUE(e->text().isEmpty());
    }
}

TEST_F(FormTest, WindowSizeFontsAndPlacedWidgets) {
    EXPECT_EQ(window->size(), QSize(358, 361));
    const QString family = QStringLiteral("微软雅黑");
    EXPECT_EQ(window->font().family(), family);
    // The group box has the font set on itself, not only inherited from the window.
    EXPECT_TRUE(form.groupBox_3->testAttribute(Qt::WA_SetFont));
    EXPECT_EQ(form.groupBox_3->font().family(), family);
    EXPECT_FALSE(form.groupBox_2->testAttribute(Qt::WA_SetFont));

    struct Placed {
        const char* name;
        QRect geometry;
    };
    const Placed placed[] = {
        {"groupBox_2", {10, 180, 79, 139}},   {"groupBox_3", {120, 0, 231, 321}},
        {"layoutWidget", {10, 20, 211, 291}}, {"opendev", {10, 20, 69, 25}},
        {"label_5", {20, 87, 60, 17}},        {"statelable", {20, 120, 81, 19}},
        {"menuBar", {0, 0, 358, 23}},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.name);
        const QWidget* w = find<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), p.geometry);
    }
}

TEST_F(FormTest, LayoutsNestInTableOrder) {
    struct Layout {
        const char* name;
        int margin;
        Names items;
    };
    const Layout layouts[] = {
        {"verticalLayout_5", 11, {"backlightControl", "beepControl", "enterBox", "wrapBox"}},
        {"verticalLayout_4", 0, {"horizontalLayout", "horizontalLayout_8", "verticalLayout_3"}},
        {"horizontalLayout", 0, {"verticalLayout", "verticalLayout_2"}},
        {"verticalLayout", 0, {"qrcode", "code39", "code93", "pdf417", "industrial25", "code128"}},
        {"verticalLayout_2", 0, {"ean8", "ean13", "itf", "upce", "upca", "datamatrix"}},
        {"horizontalLayout_8", 0, {"spacer", "setCode"}},
        {"verticalLayout_3",
         0,
         {"horizontalLayout_2", "horizontalLayout_3", "horizontalLayout_7", "horizontalLayout_6"}},
        {"horizontalLayout_2", 0, {"label_2", "preedit"}},
        {"horizontalLayout_3", 0, {"label_3", "suffedit"}},
        {"horizontalLayout_7", 0, {"label_4", "horizontalLayout_4"}},
        {"horizontalLayout_4", 0, {"singlemode", "intervalmode"}},
        {"horizontalLayout_6", 0, {"spacer", "horizontalLayout_5"}},
        {"horizontalLayout_5", 0, {"label", "interval"}},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        auto* layout = find<QBoxLayout>(l.name);
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(layout->spacing(), 6);
        EXPECT_EQ(layout->contentsMargins(), QMargins(l.margin, l.margin, l.margin, l.margin));
        Names items;
        for (int i = 0; i < layout->count(); ++i) {
            items.push_back(describe(layout->itemAt(i)));
            EXPECT_EQ(layout->stretch(i), 0);
            EXPECT_EQ(layout->itemAt(i)->alignment(), Qt::Alignment());
        }
        EXPECT_EQ(items, l.items);
    }
    EXPECT_EQ(form.groupBox_2->layout(), form.verticalLayout_5);
    EXPECT_EQ(form.layoutWidget->layout(), form.verticalLayout_4);
}

TEST_F(FormTest, SpacersHaveTheirHintsAndPolicies) {
    struct Spacer {
        QSpacerItem* member;
        QBoxLayout* layout;
        QSize hint;
        QSizePolicy::Policy horizontal;
    };
    const Spacer spacers[] = {
        {form.horizontalSpacer, form.horizontalLayout_8, {88, 20}, QSizePolicy::Expanding},
        {form.horizontalSpacer_2, form.horizontalLayout_6, {40, 20}, QSizePolicy::Fixed},
    };
    for (const Spacer& s : spacers) {
        SCOPED_TRACE(nameOf(s.layout));
        ASSERT_NE(s.member, nullptr);
        EXPECT_EQ(s.layout->itemAt(0), s.member);
        EXPECT_EQ(s.member->sizeHint(), s.hint);
        EXPECT_EQ(s.member->sizePolicy().horizontalPolicy(), s.horizontal);
        EXPECT_EQ(s.member->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }
}

TEST_F(FormTest, FramesAndTheDisabledOpenButton) {
    EXPECT_EQ(form.statelable->frameShape(), QFrame::StyledPanel);
    EXPECT_EQ(form.label_2->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(form.label_2->frameShadow(), QFrame::Plain);
    EXPECT_EQ(form.label_3->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(form.opendev->isEnabled());
    EXPECT_TRUE(form.setCode->isEnabled());
}

TEST_F(FormTest, ToolBarsSitInTheTopAreaInOrder) {
    EXPECT_EQ(window->toolBarArea(form.mainToolBar), Qt::TopToolBarArea);
    EXPECT_EQ(window->toolBarArea(form.toolBar), Qt::TopToolBarArea);
    window->show();
    EXPECT_EQ(form.mainToolBar->y(), form.toolBar->y());
    EXPECT_LT(form.mainToolBar->x(), form.toolBar->x());
}

TEST_F(FormTest, ModeRadioButtonsExcludeEachOther) {
    form.singlemode->click();
    EXPECT_TRUE(form.singlemode->isChecked());
    form.intervalmode->click();
    EXPECT_TRUE(form.intervalmode->isChecked());
    EXPECT_FALSE(form.singlemode->isChecked());
    form.singlemode->click();
    EXPECT_FALSE(form.intervalmode->isChecked());
}

TEST_F(FormTest, SlotsAreConnectedByName) {
    form.setCode->click();
    EXPECT_EQ(window->setCodeClicks, 1);
    form.interval->setText(QStringLiteral("250"));
    EXPECT_EQ(window->intervals, QStringList{QStringLiteral("250")});
}

TEST(FormSetup, KeepsAnExistingWindowName) {
    QMainWindow window;
    window.setObjectName(QStringLiteral("ScannerWindow"));
    MainWindowForm form;
    form.setup(&window);
    EXPECT_EQ(window.objectName(), "ScannerWindow");
    EXPECT_EQ(form.statelable->text(), "disconnect");
}

// Records every lookup and translates one text to a marker.
class MarkerTranslator : public QTranslator {
public:
    struct Lookup {
        std::string context;
        QString source;
        bool disambiguated;
        int n;
    };
    mutable std::vector<Lookup> lookups;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        const QString text = QString::fromUtf8(source);
        lookups.push_back({context ? context : "", text, disambiguation != nullptr, n});
        return text == QStringLiteral("更新码制") ? QStringLiteral("marker") : QString();
    }
};

TEST_F(FormTest, TextsGoThroughTheMainWindowTranslationContextInOrder) {
    MarkerTranslator translator;
    QCoreApplication::installTranslator(&translator);
    translator.lookups.clear();  // Qt's own lookups on installation
    form.retranslate(window.get());
    QCoreApplication::removeTranslator(&translator);

    EXPECT_EQ(form.setCode->text(), "marker");
    EXPECT_EQ(form.statelable->text(), "disconnect");
    QStringList looked;
    for (const MarkerTranslator::Lookup& l : translator.lookups) {
        SCOPED_TRACE(l.source.toStdString());
        EXPECT_EQ(l.context, "MainWindow");
        EXPECT_FALSE(l.disambiguated);
        EXPECT_EQ(l.n, -1);
        looked << l.source;
    }
    QStringList expected;
    for (const Text& t : texts()) {
        expected << t.text;
    }
    EXPECT_EQ(looked, expected);
}

}  // namespace

#include "main_window_form_test.moc"
