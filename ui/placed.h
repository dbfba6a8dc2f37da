#pragma once
// Controls at absolute positions under the object names the tests and the captions find them by.
#include <QRect>
#include <QString>
#include <QWidget>
#include <utility>

// Creates a W from `args` and the parent, names it and puts it at `geometry`.
template <typename W, typename... Args>
W* placed(QWidget* parent, const QString& name, const QRect& geometry, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}
