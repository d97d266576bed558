// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_FORM_MAIN_WINDOW_FORM_H
#define OSTRELSCAN_FORM_MAIN_WINDOW_FORM_H

class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSpacerItem;
class QToolBar;
class QVBoxLayout;
class QWidget;

/// The main window's widgets, layouts and spacers, one non-owning pointer per object in the
/// order setup() creates them. The window owns them all through Qt's parent-child rule; the
/// main window's slots reach the widgets by object name (on_<object>_<signal>).
struct MainWindowForm {
    QWidget* centralWidget = nullptr;
    QGroupBox* groupBox_2 = nullptr;
    QVBoxLayout* verticalLayout_5 = nullptr;
    QCheckBox* backlightControl = nullptr;
    QCheckBox* beepControl = nullptr;
    QCheckBox* enterBox = nullptr;
    QCheckBox* wrapBox = nullptr;
    QGroupBox* groupBox_3 = nullptr;
    QWidget* layoutWidget = nullptr;
    QVBoxLayout* verticalLayout_4 = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    QCheckBox* qrcode = nullptr;
    QCheckBox* code39 = nullptr;
    QCheckBox* code93 = nullptr;
    QCheckBox* pdf417 = nullptr;
    QCheckBox* industrial25 = nullptr;
    QCheckBox* code128 = nullptr;
    QVBoxLayout* verticalLayout_2 = nullptr;
    QCheckBox* ean8 = nullptr;
    QCheckBox* ean13 = nullptr;
    QCheckBox* itf = nullptr;
    QCheckBox* upce = nullptr;
    QCheckBox* upca = nullptr;
    QCheckBox* datamatrix = nullptr;
    QHBoxLayout* horizontalLayout_8 = nullptr;
    QSpacerItem* horizontalSpacer = nullptr;
    QPushButton* setCode = nullptr;
    QVBoxLayout* verticalLayout_3 = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    QLabel* label_2 = nullptr;
    QLineEdit* preedit = nullptr;
    QHBoxLayout* horizontalLayout_3 = nullptr;
    QLabel* label_3 = nullptr;
    QLineEdit* suffedit = nullptr;
    QHBoxLayout* horizontalLayout_7 = nullptr;
    QLabel* label_4 = nullptr;
    QHBoxLayout* horizontalLayout_4 = nullptr;
    QRadioButton* singlemode = nullptr;
    QRadioButton* intervalmode = nullptr;
    QHBoxLayout* horizontalLayout_6 = nullptr;
    QSpacerItem* horizontalSpacer_2 = nullptr;
    QHBoxLayout* horizontalLayout_5 = nullptr;
    QLabel* label = nullptr;
    QLineEdit* interval = nullptr;
    QPushButton* opendev = nullptr;
    QLabel* label_5 = nullptr;
    QLabel* statelable = nullptr;  // kept as spelt: the label's object name, found by name
    QMenuBar* menuBar = nullptr;
    QToolBar* mainToolBar = nullptr;
    QToolBar* toolBar = nullptr;

    /// Builds the widget tree on window, sets its texts (retranslate) and connects the
    /// window's on_<object>_<signal> slots by name. Call once, before the window is shown.
    void setup(QMainWindow* window);
    /// Sets every text of the form through the translation lookup, context "MainWindow".
    void retranslate(QMainWindow* window);
};

#endif
