#include "app/Dialogs.h"

#include "app/QuitRequest.h"
#include "app/TestHooks.h"
#include "app/WindowThread.h"
#include "platform/EventLog.h"
#include "platform/UnattendedSwitches.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

#include <algorithm>
#include <mutex>
#include <optional>

namespace updater {

namespace {

struct Request
{
    QString title;
    QString text;
    DialogIcon icon = DialogIcon::None;
    DialogButtons buttons = DialogButtons::Ok;
    bool ownerless = true;
    std::optional<int> number; // an input box for a whole number, holding this at first
};

// What an input box came to; the answer is OK or No (its Cancel).
struct NumberAnswer
{
    DialogAnswer answer = DialogAnswer::No;
    int value = 0;
};

struct UnattendedMode
{
    QString logPath;
    bool answerAutomatically = false;
    QStringList answers;
    int nextAnswer = 0;
    std::mutex mutex;

    UnattendedMode()
    {
        logPath = qEnvironmentVariable(switches::DialogLog);
        if (qEnvironmentVariableIsSet(switches::DialogAnswers)) {
            answerAutomatically = true;
            for (const QString& a :
                 qEnvironmentVariable(switches::DialogAnswers).split(',', Qt::SkipEmptyParts))
                answers << a.trimmed();
        }
    }
};

UnattendedMode& unattended()
{
    static UnattendedMode mode;
    return mode;
}

QString iconName(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Stop:
        return "stop";
    case DialogIcon::Information:
        return "information";
    case DialogIcon::Question:
        return "question";
    case DialogIcon::None:
        break;
    }
    return "none";
}

QString answerName(DialogAnswer answer)
{
    switch (answer) {
    case DialogAnswer::Yes:
        return "Yes";
    case DialogAnswer::No:
        return "No";
    case DialogAnswer::Ok:
        break;
    }
    return "OK";
}

DialogAnswer defaultAnswer(const Request& r)
{
    return r.buttons == DialogButtons::YesNo ? DialogAnswer::Yes : DialogAnswer::Ok;
}

DialogAnswer escapeAnswer(const Request& r)
{
    return r.buttons == DialogButtons::YesNo ? DialogAnswer::No : DialogAnswer::Ok;
}

std::optional<DialogAnswer> parseAnswer(const QString& text, const Request& r)
{
    const QString t = text.toLower();
    if (r.number)
        return t == "no" ? DialogAnswer::No : DialogAnswer::Ok;
    if (r.buttons == DialogButtons::YesNo) {
        if (t == "yes")
            return DialogAnswer::Yes;
        if (t == "no")
            return DialogAnswer::No;
        return std::nullopt;
    }
    return DialogAnswer::Ok;
}

// A JSON string literal, quotes and escapes included.
QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

void logDialog(const Request& r, DialogAnswer answer, bool closedByEnd, std::optional<int> value = {})
{
    const QString answered = r.number && answer == DialogAnswer::No ? QString("Cancel") : answerName(answer);
    const QString outcome = closedByEnd ? QString("closed as the launcher ends")
                            : value     ? answered + " (" + QString::number(*value) + ")"
                                        : answered;
    logEvent(("box \"" + r.title + "\": " + r.text + " -> " + outcome).toUtf8().toStdString());
    UnattendedMode& mode = unattended();
    QString logPath;
    {
        std::lock_guard<std::mutex> lock(mode.mutex);
        logPath = mode.logPath;
    }
    if (logPath.isEmpty())
        return;
    // Fields in the documented order, so that a person or a line tool reads the journal as documented.
    const QByteArray buttons = r.number                            ? R"(["OK","Cancel"])"
                               : r.buttons == DialogButtons::YesNo ? R"(["Yes","No"])"
                                                                   : R"(["OK"])";
    const QByteArray number = value ? ", \"value\": " + QByteArray::number(*value) : QByteArray();
    const QByteArray line = "{\"title\": " + jsonString(r.title) + ", \"text\": " + jsonString(r.text) +
                            ", \"icon\": " + jsonString(iconName(r.icon)) + ", \"buttons\": " + buttons +
                            ", \"answer\": " + jsonString(answered) + number + "}\n";
    QFile file(logPath);
    if (file.open(QIODevice::Append | QIODevice::WriteOnly))
        file.write(line);
}

// Shows a box that takes the keyboard: without a window manager (tried under Xvfb) the keys would
// otherwise still go to the window behind it, and Enter would press that window's default button.
void showWithTheKeyboard(QWidget* box)
{
    box->show();
    box->raise();
    box->activateWindow();
}

DialogAnswer askPerson(const Request& r)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (r.icon == DialogIcon::Stop)
        icon = QMessageBox::Critical;
    else if (r.icon == DialogIcon::Information)
        icon = QMessageBox::Information;
    else if (r.icon == DialogIcon::Question)
        icon = QMessageBox::Question;
    QPointer<QMessageBox> box = new QMessageBox(icon, r.title, r.text, QMessageBox::NoButton);
    // Like the platform's own boxes: a text that looks like HTML (a server's answer, an archive's
    // comment) shows as it is, never as rich text with links.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* ok = nullptr;
    if (r.buttons == DialogButtons::YesNo) {
        yes = box->addButton(QMessageBox::Yes);
        no = box->addButton(QMessageBox::No);
        box->setDefaultButton(yes);
        box->setEscapeButton(no);
    } else {
        ok = box->addButton(QMessageBox::Ok);
        box->setDefaultButton(ok);
        box->setEscapeButton(ok);
    }
    // Owner-less boxes leave the main window usable, like a box of the platform without owner.
    box->setWindowModality(r.ownerless ? Qt::NonModal : Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    showWithTheKeyboard(box);
    loop.exec();
    DialogAnswer answer = escapeAnswer(r);
    if (box) {
        QAbstractButton* clicked = box->clickedButton();
        if (clicked && clicked == yes)
            answer = DialogAnswer::Yes;
        else if (clicked && clicked == ok)
            answer = DialogAnswer::Ok;
        delete box;
    }
    return answer;
}

// The input box, shown as the message boxes are: owner-less, in a local event loop.
NumberAnswer askPersonForNumber(const Request& r, int lowest, int highest)
{
    QPointer<QInputDialog> box = new QInputDialog;
    box->setWindowTitle(r.title);
    box->setLabelText(r.text);
    box->setInputMode(QInputDialog::IntInput);
    box->setIntRange(lowest, highest);
    box->setIntValue(*r.number);
    box->setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(box, &QInputDialog::finished, &loop, &QEventLoop::quit);
    showWithTheKeyboard(box);
    loop.exec();
    NumberAnswer answer;
    if (box) {
        if (box->result() == QDialog::Accepted)
            answer = {DialogAnswer::Ok, box->intValue()};
        delete box;
    }
    return answer;
}

// The next answer of an unattended run; nothing when a person answers.
std::optional<DialogAnswer> scriptedAnswer(const Request& r)
{
    UnattendedMode& mode = unattended();
    std::lock_guard<std::mutex> lock(mode.mutex);
    if (!mode.answerAutomatically)
        return std::nullopt;
    DialogAnswer answer = defaultAnswer(r);
    if (mode.nextAnswer < mode.answers.size()) {
        if (auto parsed = parseAnswer(mode.answers[mode.nextAnswer], r))
            answer = *parsed;
        ++mode.nextAnswer;
    }
    return answer;
}

DialogAnswer show(const Request& r)
{
    DialogAnswer answer = escapeAnswer(r);
    runOnWindowThread([&] {
        bool closedByEnd = false;
        if (isQuitPending()) {
            // A box opened while the application is ending closes at once.
            answer = escapeAnswer(r);
            closedByEnd = true;
        } else if (auto scripted = scriptedAnswer(r)) {
            answer = *scripted;
        } else {
            answer = askPerson(r);
            // A signal or a logout that ends the launcher closes an open box: nobody answered it.
            closedByEnd = isQuitPending();
        }
        logDialog(r, answer, closedByEnd);
    });
    return answer;
}

NumberAnswer showNumberBox(const Request& r, int lowest, int highest)
{
    NumberAnswer answer;
    runOnWindowThread([&] {
        bool closedByEnd = false;
        if (isQuitPending()) {
            closedByEnd = true;
        } else if (auto scripted = scriptedAnswer(r)) {
            answer = {*scripted, *r.number};
        } else {
            answer = askPersonForNumber(r, lowest, highest);
            closedByEnd = isQuitPending();
        }
        if (closedByEnd)
            answer = {};
        logDialog(r, answer.answer, closedByEnd,
                  answer.answer == DialogAnswer::Ok ? std::optional<int>(answer.value) : std::nullopt);
    });
    return answer;
}

} // namespace

void setDialogAnswers(const std::vector<DialogAnswer>& answers)
{
    UnattendedMode& mode = unattended();
    std::lock_guard<std::mutex> lock(mode.mutex);
    mode.answerAutomatically = true;
    mode.answers.clear();
    for (DialogAnswer answer : answers)
        mode.answers << answerName(answer);
    mode.nextAnswer = 0;
}

void setDialogJournal(const QString& path)
{
    UnattendedMode& mode = unattended();
    std::lock_guard<std::mutex> lock(mode.mutex);
    mode.logPath = path;
}

std::string applicationTitle()
{
    return "Tarvo Updater";
}

DialogAnswer messageBox(const std::string& text, const std::string& title, DialogIcon icon,
                        DialogButtons buttons)
{
    return show({QString::fromLatin1(title), QString::fromLatin1(text), icon, buttons, true});
}

void showMessage(const std::string& text)
{
    showUnicodeMessage(QString::fromLatin1(text));
}

void showUnicodeMessage(const QString& text)
{
    show({QString::fromLatin1(applicationTitle()), text, DialogIcon::None, DialogButtons::Ok, false});
}

bool confirmYesNo(const std::string& text)
{
    return show({"Confirm", QString::fromLatin1(text), DialogIcon::Question, DialogButtons::YesNo, false}) ==
           DialogAnswer::Yes;
}

std::optional<int> askNumber(const std::string& text, const std::string& title, int current, int lowest,
                             int highest)
{
    Request r{QString::fromLatin1(title), QString::fromLatin1(text), DialogIcon::None, DialogButtons::Ok,
              true};
    r.number = std::clamp(current, lowest, highest);
    const NumberAnswer answer = showNumberBox(r, lowest, highest);
    if (answer.answer != DialogAnswer::Ok)
        return std::nullopt;
    return answer.value;
}

void showErrorBox(const std::string& text)
{
    show({QString::fromLatin1(applicationTitle()), QString::fromLatin1(text), DialogIcon::Stop,
          DialogButtons::Ok, false});
}

} // namespace updater
