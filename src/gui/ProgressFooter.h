#pragma once
// The foot of both firmware windows: a progress bar without text over a right-aligned row of
// the action button and the button that stops or closes.
#include <QBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <tuple>

namespace korva {

// Adds the foot to outer; the widgets are named progress, actionName and closeName. Enter
// presses the action only when it is marked default; the close button never becomes the
// default by taking focus.
inline std::tuple<QProgressBar*, QPushButton*, QPushButton*>
addProgressFooter(QWidget* owner, QBoxLayout* outer, const char* actionName, const char* closeName,
                  bool actionIsDefault) {
    auto* progress = new QProgressBar(owner);
    progress->setObjectName("progress");
    progress->setTextVisible(false);
    outer->addWidget(progress);
    auto* action = new QPushButton(owner);
    action->setObjectName(actionName);
    if (actionIsDefault)
        action->setDefault(true);
    else
        action->setAutoDefault(false);
    auto* close = new QPushButton(owner);
    close->setObjectName(closeName);
    close->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(action);
    row->addWidget(close);
    outer->addLayout(row);
    return {progress, action, close};
}

} // namespace korva
