#include "tableeventfilter.h"

#include <QKeyEvent>
#include <QMouseEvent>

bool TableEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Return:
            emit modificaRequest();
            return true;
        case Qt::Key_Delete:
            emit cancellaRequest();
            return true;
        default:
            break;
        }
        break;
    case QEvent::FocusIn:
        emit focused();
        return false;
    case QEvent::FocusOut:
        emit focusedOut();
        return false;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton)
            event->ignore();
        return false;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
