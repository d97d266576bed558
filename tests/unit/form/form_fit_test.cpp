// SPDX-License-Identifier: MIT
// The form as users see it on an X display with Debian's fonts: no text is cut off, whatever
// default font size the desktop sets.
#include "main_window_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>

namespace {

// The widget's text and the area its style draws it in; no text for other widgets.
QRect textArea(QWidget* widget, QString* text) {
    QStyle* style = widget->style();
    QStyleOptionButton button;
    button.initFrom(widget);
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        *text = button.text = box->text();
        return style->subElementRect(QStyle::SE_CheckBoxContents, &button, widget);
    }
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        *text = button.text = radio->text();
        return style->subElementRect(QStyle::SE_RadioButtonContents, &button, widget);
    }
    if (auto* push = qobject_cast<QPushButton*>(widget)) {
        *text = button.text = push->text();
        return style->subElementRect(QStyle::SE_PushButtonContents, &button, widget);
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        *text = label->text();
        return label->contentsRect();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        *text = option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        return style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
    }
    return {};
}

TEST(Form, EveryTextFitsItsWidget) {
    for (const int desktopPointSize : {9, 11}) {
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), desktopPointSize));
        QMainWindow window;
        MainWindowForm form;
        form.setup(&window);
        form.opendev->hide();
        window.show();
        int texts = 0;
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            QString text;
            const QRect area = textArea(widget, &text);
            if (text.isEmpty() || !widget->isVisible()) {
                continue;
            }
            ++texts;
            const QFontMetrics metrics(widget->font());
            EXPECT_LE(metrics.boundingRect(text).width(), area.width())
                << text.toStdString() << " at " << desktopPointSize << " pt";
            EXPECT_LE(metrics.height(), area.height())
                << text.toStdString() << " at " << desktopPointSize << " pt";
        }
        EXPECT_EQ(texts, 27);
    }
}

}  // namespace
