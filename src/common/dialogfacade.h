#pragma once

// The one way the program shows message boxes and file dialogs. In the
// program it opens the real Qt dialogs; a test switches it to scripted mode,
// where nothing modal is shown: every call is recorded (icon, title, exact
// text, buttons) and answered from a queue the test filled beforehand.

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

class DialogFacade
{
public:
    enum class Icon { NoIcon, Information, Warning, Critical, Question };
    enum class Kind { MessageBox, OpenFile, SaveFile, ExistingDirectory };

    // What one call showed.
    struct Shown {
        Kind kind = Kind::MessageBox;
        Icon icon = Icon::NoIcon;
        QString title; // box title or dialog caption
        QString text; // box text; for file dialogs the start folder
        QStringList buttons; // button texts in order ("Ok", "Yes", "No" for standard buttons)
        int defaultButton = -1; // index into buttons, -1 none
        QString filter; // file dialogs only
        bool hadParent = false;
    };

    // Box with custom buttons; returns the index of the pressed button, or
    // escapeButton (-1 when none) if the box was closed otherwise.
    static int ask(QWidget *parent, Icon icon, const QString &title, const QString &text,
        const QStringList &buttons, int defaultButton, int escapeButton = -1);

    // Box with standard buttons (their texts come from Qt's translations).
    static QMessageBox::StandardButton standard(QWidget *parent, Icon icon, const QString &title,
        const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Single Ok button.
    static void information(QWidget *parent, const QString &title, const QString &text);
    static void warning(QWidget *parent, const QString &title, const QString &text);
    static void critical(QWidget *parent, const QString &title, const QString &text);

    // Question box with "Si" and "No", "No" the default; true for "Si".
    static bool question(QWidget *parent, const QString &title, const QString &text);

    // Empty result when cancelled.
    static QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
        const QString &filter = QString());
    static QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
        const QString &filter = QString());
    static QString getExistingDirectory(
        QWidget *parent, const QString &caption, const QString &dir);

    // --- test scripting -------------------------------------------------
    static void setScripted(bool scripted); // also clears answers and records
    static bool isScripted();
    // Next box answer: a button index (ask; -1 closes the box without a
    // button, giving its escapeButton; for standard() an index picks among
    // the recorded buttons) ...
    static void pushAnswer(int buttonIndex);
    // ... or a standard button (standard). An answer that does not fit the
    // box it reaches aborts the test run with a message.
    static void pushAnswer(QMessageBox::StandardButton button);
    // Runs `work` once inside the next box with own buttons, before it is
    // answered, as the box's event loop would run timers and replies.
    static void runWhileNextBoxIsOpen(std::function<void()> work);
    // Next file dialog answer (empty = cancelled).
    static void pushFile(const QString &path);
    // Queued box and file answers not consumed yet.
    static int pendingAnswers();
    // Without a queued answer a box returns its default button (or the
    // first one) and a file dialog returns an empty text.
    static QList<Shown> shown();
    static Shown lastShown(); // default-constructed when nothing was shown
    static void clearShown();
};
