#pragma once

#include <QWidget>

// A page of the main window. Frames are created with the main window, before the data module
// exists; bindData() connects their lists to the shared queries once it does.
class Frame : public QWidget {
    Q_OBJECT
public:
    explicit Frame(const QString& name, QWidget* parent = nullptr) : QWidget(parent) { setObjectName(name); }
    virtual void bindData() {}
};
