// SPDX-License-Identifier: MIT
#include "main_window_form.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int kSpacing = 6;
constexpr int kMargin = 11;
// The size the form was drawn for; desktops' larger default sizes would clip its texts.
constexpr int kPointSize = 9;

// The widget, named, with the given parent.
template <typename W>
W* make(QWidget* parent, const char* name) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A layout with the form's spacing, named, installed on widget (or on none when null).
template <typename L>
L* makeLayout(QWidget* widget, const char* name) {
    auto* l = new L(widget);
    l->setSpacing(kSpacing);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

// A layout with the form's spacing, named, nested last in parent.
template <typename L>
L* nestLayout(QBoxLayout* parent, const char* name) {
    auto* l = makeLayout<L>(nullptr, name);
    parent->addLayout(l);
    return l;
}

// The widget, named, with the given parent, added last to layout.
template <typename W>
W* addTo(QBoxLayout* layout, QWidget* parent, const char* name) {
    auto* w = make<W>(parent, name);
    layout->addWidget(w);
    return w;
}

// The source texts are UTF-8 (the build passes -finput-charset/-fexec-charset), which is
// what QCoreApplication::translate expects.
QString text(const char* source) {
    return QCoreApplication::translate("MainWindow", source, nullptr);
}

}  // namespace

void MainWindowForm::setup(QMainWindow* window) {
    if (window->objectName().isEmpty()) {
        window->setObjectName(QStringLiteral("MainWindow"));
    }
    window->resize(358, 361);
    QFont font;
    font.setFamily(QString::fromUtf8("微软雅黑"));
    font.setPointSize(kPointSize);
    window->setFont(font);

    centralWidget = make<QWidget>(window, "centralWidget");

    groupBox_2 = make<QGroupBox>(centralWidget, "groupBox_2");
    groupBox_2->setGeometry(QRect(10, 180, 79, 139));
    verticalLayout_5 = makeLayout<QVBoxLayout>(groupBox_2, "verticalLayout_5");
    verticalLayout_5->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    backlightControl = addTo<QCheckBox>(verticalLayout_5, groupBox_2, "backlightControl");
    beepControl = addTo<QCheckBox>(verticalLayout_5, groupBox_2, "beepControl");
    enterBox = addTo<QCheckBox>(verticalLayout_5, groupBox_2, "enterBox");
    wrapBox = addTo<QCheckBox>(verticalLayout_5, groupBox_2, "wrapBox");

    groupBox_3 = make<QGroupBox>(centralWidget, "groupBox_3");
    groupBox_3->setGeometry(QRect(120, 0, 231, 321));
    groupBox_3->setFont(font);
    layoutWidget = make<QWidget>(groupBox_3, "layoutWidget");
    layoutWidget->setGeometry(QRect(10, 20, 211, 291));
    verticalLayout_4 = makeLayout<QVBoxLayout>(layoutWidget, "verticalLayout_4");
    verticalLayout_4->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    verticalLayout_4->setContentsMargins(0, 0, 0, 0);

    // The symbology check boxes in two columns of six.
    horizontalLayout = nestLayout<QHBoxLayout>(verticalLayout_4, "horizontalLayout");
    verticalLayout = nestLayout<QVBoxLayout>(horizontalLayout, "verticalLayout");
    qrcode = addTo<QCheckBox>(verticalLayout, layoutWidget, "qrcode");
    code39 = addTo<QCheckBox>(verticalLayout, layoutWidget, "code39");
    code93 = addTo<QCheckBox>(verticalLayout, layoutWidget, "code93");
    pdf417 = addTo<QCheckBox>(verticalLayout, layoutWidget, "pdf417");
    industrial25 = addTo<QCheckBox>(verticalLayout, layoutWidget, "industrial25");
    code128 = addTo<QCheckBox>(verticalLayout, layoutWidget, "code128");
    verticalLayout_2 = nestLayout<QVBoxLayout>(horizontalLayout, "verticalLayout_2");
    ean8 = addTo<QCheckBox>(verticalLayout_2, layoutWidget, "ean8");
    ean13 = addTo<QCheckBox>(verticalLayout_2, layoutWidget, "ean13");
    itf = addTo<QCheckBox>(verticalLayout_2, layoutWidget, "itf");
    upce = addTo<QCheckBox>(verticalLayout_2, layoutWidget, "upce");
    upca = addTo<QCheckBox>(verticalLayout_2, layoutWidget, "upca");
    datamatrix = addTo<QCheckBox>(verticalLayout_2, layoutWidget, "datamatrix");

    // The update button at the right end of its row.
    horizontalLayout_8 = nestLayout<QHBoxLayout>(verticalLayout_4, "horizontalLayout_8");
    horizontalSpacer = new QSpacerItem(88, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout_8->addItem(horizontalSpacer);
    setCode = addTo<QPushButton>(horizontalLayout_8, layoutWidget, "setCode");

    // Prefix, suffix, mode and interval rows.
    verticalLayout_3 = nestLayout<QVBoxLayout>(verticalLayout_4, "verticalLayout_3");
    horizontalLayout_2 = nestLayout<QHBoxLayout>(verticalLayout_3, "horizontalLayout_2");
    label_2 = addTo<QLabel>(horizontalLayout_2, layoutWidget, "label_2");
    label_2->setFrameShape(QFrame::NoFrame);
    label_2->setFrameShadow(QFrame::Plain);
    preedit = addTo<QLineEdit>(horizontalLayout_2, layoutWidget, "preedit");
    horizontalLayout_3 = nestLayout<QHBoxLayout>(verticalLayout_3, "horizontalLayout_3");
    label_3 = addTo<QLabel>(horizontalLayout_3, layoutWidget, "label_3");
    label_3->setFrameShape(QFrame::NoFrame);
    suffedit = addTo<QLineEdit>(horizontalLayout_3, layoutWidget, "suffedit");
    horizontalLayout_7 = nestLayout<QHBoxLayout>(verticalLayout_3, "horizontalLayout_7");
    label_4 = addTo<QLabel>(horizontalLayout_7, layoutWidget, "label_4");
    horizontalLayout_4 = nestLayout<QHBoxLayout>(horizontalLayout_7, "horizontalLayout_4");
    // The only radio buttons under layoutWidget, so Qt's auto-exclusivity pairs them.
    singlemode = addTo<QRadioButton>(horizontalLayout_4, layoutWidget, "singlemode");
    intervalmode = addTo<QRadioButton>(horizontalLayout_4, layoutWidget, "intervalmode");
    horizontalLayout_6 = nestLayout<QHBoxLayout>(verticalLayout_3, "horizontalLayout_6");
    horizontalSpacer_2 = new QSpacerItem(40, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
    horizontalLayout_6->addItem(horizontalSpacer_2);
    horizontalLayout_5 = nestLayout<QHBoxLayout>(horizontalLayout_6, "horizontalLayout_5");
    label = addTo<QLabel>(horizontalLayout_5, layoutWidget, "label");
    interval = addTo<QLineEdit>(horizontalLayout_5, layoutWidget, "interval");

    opendev = make<QPushButton>(centralWidget, "opendev");
    opendev->setEnabled(false);
    opendev->setGeometry(QRect(10, 20, 69, 25));
    label_5 = make<QLabel>(centralWidget, "label_5");
    label_5->setGeometry(QRect(20, 87, 60, 17));
    statelable = make<QLabel>(centralWidget, "statelable");
    statelable->setGeometry(QRect(20, 120, 81, 19));
    statelable->setFrameShape(QFrame::StyledPanel);
    window->setCentralWidget(centralWidget);

    menuBar = make<QMenuBar>(window, "menuBar");
    menuBar->setGeometry(QRect(0, 0, 358, 23));
    window->setMenuBar(menuBar);
    mainToolBar = make<QToolBar>(window, "mainToolBar");
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    toolBar = make<QToolBar>(window, "toolBar");
    window->addToolBar(Qt::TopToolBarArea, toolBar);

    retranslate(window);
    // Where the family is missing (Debian sets Chinese in Noto Sans CJK) the texts come out
    // wider than the form was drawn for: the widgets placed by geometry widen to their text,
    // keeping their place.
    for (QWidget* placed : {static_cast<QWidget*>(groupBox_2), static_cast<QWidget*>(label_5),
                            static_cast<QWidget*>(statelable)}) {
        placed->resize(std::max(placed->width(), placed->minimumSizeHint().width()),
                       placed->height());
    }
    QMetaObject::connectSlotsByName(window);
}

// The texts stay Chinese and exactly as users know them, the title's version text included.
void MainWindowForm::retranslate(QMainWindow* window) {
    window->setWindowTitle(text("T900驱动程序(正式版)v2.0.8.05"));
    groupBox_2->setTitle(text("基本设置"));
    backlightControl->setText(text("背光"));
    beepControl->setText(text("蜂鸣器"));
    enterBox->setText(text("回车"));
    wrapBox->setText(text("换行"));
    groupBox_3->setTitle(text("码制"));
    qrcode->setText(text("QRCODE"));
    code39->setText(text("CODE39"));
    code93->setText(text("CODE93"));
    pdf417->setText(text("PDF417"));
    industrial25->setText(text("矩阵25"));
    code128->setText(text("CODE128"));
    ean8->setText(text("EAN8"));
    ean13->setText(text("EAN13"));
    itf->setText(text("ITF"));
    upce->setText(text("UPCE"));
    upca->setText(text("UPCA"));
    datamatrix->setText(text("DATAMATRIX"));
    setCode->setText(text("更新码制"));
    label_2->setText(text("前缀："));
    label_3->setText(text("后缀："));
    label_4->setText(text("模式："));
    singlemode->setText(text("单次模式"));
    intervalmode->setText(text("间隔模式"));
    label->setText(text("间隔时间(ms)："));
    opendev->setText(text("打开设备"));
    label_5->setText(text("设备状态："));
    statelable->setText(text("disconnect"));
    toolBar->setWindowTitle(text("toolBar"));
}
