#pragma once

#include <QObject>

// Installed on a list window's table: Return asks to modify the current
// record, Delete to delete it. The keypad's Enter is left to the table.
class TableEventFilter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void modificaRequest();
    void cancellaRequest();
    void focused();
    void focusedOut();
    void doubleClick();
};
