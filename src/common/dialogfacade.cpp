#include "dialogfacade.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QQueue>
#include <QThread>

#include <functional>

namespace
{

struct Answer {
    bool standard = false; // true: value is a QMessageBox::StandardButton
    int value = 0;
};

// Scripted-mode state; touched from the GUI thread only.
struct Script {
    bool scripted = false;
    QQueue<Answer> answers;
    QQueue<QString> files;
    QList<DialogFacade::Shown> shown;
    std::function<void()> whileShown;
};

Script &script()
{
    static Script s;
    return s;
}

void assertGuiThread()
{
    Q_ASSERT_X(!QCoreApplication::instance()
            || QThread::currentThread() == QCoreApplication::instance()->thread(),
        "DialogFacade", "dialogs may only be shown from the GUI thread");
}

struct StandardName {
    QMessageBox::StandardButton button;
    const char *name;
};

// In ascending enum order, which is the order QMessageBox lists them in.
constexpr StandardName standardNames[] = {
    { QMessageBox::Ok, "Ok" },
    { QMessageBox::Save, "Save" },
    { QMessageBox::SaveAll, "SaveAll" },
    { QMessageBox::Open, "Open" },
    { QMessageBox::Yes, "Yes" },
    { QMessageBox::YesToAll, "YesToAll" },
    { QMessageBox::No, "No" },
    { QMessageBox::NoToAll, "NoToAll" },
    { QMessageBox::Abort, "Abort" },
    { QMessageBox::Retry, "Retry" },
    { QMessageBox::Ignore, "Ignore" },
    { QMessageBox::Close, "Close" },
    { QMessageBox::Cancel, "Cancel" },
    { QMessageBox::Discard, "Discard" },
    { QMessageBox::Help, "Help" },
    { QMessageBox::Apply, "Apply" },
    { QMessageBox::Reset, "Reset" },
    { QMessageBox::RestoreDefaults, "RestoreDefaults" },
};

QList<QMessageBox::StandardButton> orderedButtons(QMessageBox::StandardButtons buttons)
{
    QList<QMessageBox::StandardButton> result;
    for (const StandardName &entry : standardNames) {
        if (buttons.testFlag(entry.button))
            result.append(entry.button);
    }
    // QMessageBox shows Ok when given no button at all.
    if (result.isEmpty())
        result.append(QMessageBox::Ok);
    return result;
}

QString standardName(QMessageBox::StandardButton button)
{
    for (const StandardName &entry : standardNames) {
        if (entry.button == button)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

QMessageBox::Icon toQt(DialogFacade::Icon icon)
{
    switch (icon) {
    case DialogFacade::Icon::Information:
        return QMessageBox::Information;
    case DialogFacade::Icon::Warning:
        return QMessageBox::Warning;
    case DialogFacade::Icon::Critical:
        return QMessageBox::Critical;
    case DialogFacade::Icon::Question:
        return QMessageBox::Question;
    case DialogFacade::Icon::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}

// What a real box's own event loop would let run while it is open.
void runWhileShown(Script &s)
{
    if (!s.whileShown)
        return;
    const std::function<void()> work = std::move(s.whileShown);
    s.whileShown = nullptr;
    work();
}

// A wrongly scripted answer is a fault of the test, not something to paper
// over with a default: stop loudly so the test cannot pass by accident.
[[noreturn]] void scriptFault(const QString &what, const DialogFacade::Shown &shown)
{
    qFatal("DialogFacade: %s (box \"%s\": \"%s\")", qPrintable(what), qPrintable(shown.title),
        qPrintable(shown.text));
}

QString fileDialog(DialogFacade::Kind kind, QWidget *parent, const QString &caption,
    const QString &dir, const QString &filter)
{
    assertGuiThread();
    Script &s = script();
    if (s.scripted) {
        DialogFacade::Shown shown;
        shown.kind = kind;
        shown.title = caption;
        shown.text = dir;
        shown.filter = filter;
        shown.hadParent = parent != nullptr;
        s.shown.append(shown);
        return s.files.isEmpty() ? QString() : s.files.dequeue();
    }
    switch (kind) {
    case DialogFacade::Kind::OpenFile:
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    case DialogFacade::Kind::SaveFile:
        return QFileDialog::getSaveFileName(parent, caption, dir, filter);
    case DialogFacade::Kind::ExistingDirectory:
        // Folders only, and the path as the user sees it, links included.
        return QFileDialog::getExistingDirectory(
            parent, caption, dir, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    case DialogFacade::Kind::MessageBox:
        break;
    }
    return QString();
}

} // namespace

int DialogFacade::ask(QWidget *parent, Icon icon, const QString &title, const QString &text,
    const QStringList &buttons, int defaultButton, int escapeButton)
{
    assertGuiThread();
    if (defaultButton >= buttons.size())
        defaultButton = -1;
    if (escapeButton >= buttons.size())
        escapeButton = -1;

    Script &s = script();
    if (s.scripted) {
        Shown shown;
        shown.kind = Kind::MessageBox;
        shown.icon = icon;
        shown.title = title;
        shown.text = text;
        shown.buttons = buttons;
        shown.defaultButton = defaultButton;
        shown.hadParent = parent != nullptr;
        s.shown.append(shown);
        runWhileShown(s);
        if (s.answers.isEmpty()) {
            if (defaultButton >= 0)
                return defaultButton;
            return buttons.isEmpty() ? escapeButton : 0;
        }
        const Answer answer = s.answers.dequeue();
        if (answer.standard)
            scriptFault(
                QStringLiteral("a standard button was queued for a box with own buttons"), shown);
        if (answer.value == -1)
            return escapeButton; // the box was closed without pressing a button
        if (answer.value < 0 || answer.value >= buttons.size())
            scriptFault(
                QStringLiteral("queued answer %1 is not a button of the box").arg(answer.value),
                shown);
        return answer.value;
    }

    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, parent);
    QList<QPushButton *> pushButtons;
    for (int i = 0; i < buttons.size(); ++i) {
        const QMessageBox::ButtonRole role
            = i == escapeButton ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        pushButtons.append(box.addButton(buttons.at(i), role));
    }
    if (defaultButton >= 0)
        box.setDefaultButton(pushButtons.at(defaultButton));
    if (escapeButton >= 0)
        box.setEscapeButton(pushButtons.at(escapeButton));
    box.exec();
    const int index = pushButtons.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
    return index >= 0 ? index : escapeButton;
}

QMessageBox::StandardButton DialogFacade::standard(QWidget *parent, Icon icon, const QString &title,
    const QString &text, QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton)
{
    assertGuiThread();
    const QList<QMessageBox::StandardButton> ordered = orderedButtons(buttons);
    if (!ordered.contains(defaultButton))
        defaultButton = QMessageBox::NoButton;

    Script &s = script();
    if (s.scripted) {
        Shown shown;
        shown.kind = Kind::MessageBox;
        shown.icon = icon;
        shown.title = title;
        shown.text = text;
        for (QMessageBox::StandardButton button : ordered)
            shown.buttons.append(standardName(button));
        shown.defaultButton = ordered.indexOf(defaultButton);
        shown.hadParent = parent != nullptr;
        s.shown.append(shown);
        if (s.answers.isEmpty())
            return defaultButton != QMessageBox::NoButton ? defaultButton : ordered.first();
        const Answer answer = s.answers.dequeue();
        if (!answer.standard) {
            // An index picks among the buttons in the order recorded.
            if (answer.value < 0 || answer.value >= ordered.size())
                scriptFault(
                    QStringLiteral("queued answer %1 is not a button of the box").arg(answer.value),
                    shown);
            return ordered.at(answer.value);
        }
        const auto button = static_cast<QMessageBox::StandardButton>(answer.value);
        if (!ordered.contains(button))
            scriptFault(
                QStringLiteral("queued button %1 is not on the box").arg(standardName(button)),
                shown);
        return button;
    }

    QMessageBox box(toQt(icon), title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void DialogFacade::information(QWidget *parent, const QString &title, const QString &text)
{
    standard(parent, Icon::Information, title, text, QMessageBox::Ok);
}

void DialogFacade::warning(QWidget *parent, const QString &title, const QString &text)
{
    standard(parent, Icon::Warning, title, text, QMessageBox::Ok);
}

void DialogFacade::critical(QWidget *parent, const QString &title, const QString &text)
{
    standard(parent, Icon::Critical, title, text, QMessageBox::Ok);
}

bool DialogFacade::question(QWidget *parent, const QString &title, const QString &text)
{
    const QStringList buttons { QCoreApplication::translate("DialogFacade", "Si"),
        QCoreApplication::translate("DialogFacade", "No") };
    return ask(parent, Icon::Question, title, text, buttons, 1, 1) == 0;
}

QString DialogFacade::getOpenFileName(
    QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return fileDialog(Kind::OpenFile, parent, caption, dir, filter);
}

QString DialogFacade::getSaveFileName(
    QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return fileDialog(Kind::SaveFile, parent, caption, dir, filter);
}

QString DialogFacade::getExistingDirectory(
    QWidget *parent, const QString &caption, const QString &dir)
{
    return fileDialog(Kind::ExistingDirectory, parent, caption, dir, QString());
}

void DialogFacade::setScripted(bool scripted)
{
    Script &s = script();
    s.scripted = scripted;
    s.answers.clear();
    s.files.clear();
    s.shown.clear();
    s.whileShown = nullptr;
}

bool DialogFacade::isScripted()
{
    return script().scripted;
}

void DialogFacade::pushAnswer(int buttonIndex)
{
    script().answers.enqueue({ false, buttonIndex });
}

void DialogFacade::pushAnswer(QMessageBox::StandardButton button)
{
    script().answers.enqueue({ true, static_cast<int>(button) });
}

void DialogFacade::runWhileNextBoxIsOpen(std::function<void()> work)
{
    script().whileShown = std::move(work);
}

void DialogFacade::pushFile(const QString &path)
{
    script().files.enqueue(path);
}

QList<DialogFacade::Shown> DialogFacade::shown()
{
    return script().shown;
}

DialogFacade::Shown DialogFacade::lastShown()
{
    const Script &s = script();
    return s.shown.isEmpty() ? Shown() : s.shown.last();
}

void DialogFacade::clearShown()
{
    script().shown.clear();
}

int DialogFacade::pendingAnswers()
{
    const Script &s = script();
    return s.answers.size() + s.files.size();
}
