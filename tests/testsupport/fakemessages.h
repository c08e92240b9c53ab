#pragma once
// Test stand-in for the message boxes: installs itself as the message sink for its lifetime,
// keeps every box it was asked to show and answers from a queue. With the queue empty it
// answers whenEmpty (OK unless told otherwise); for a box without that button, OK stands for
// Yes and Cancel for No. A queued answer that is not a button of the box fails the test.
// Main thread only.

#include "store/messages.h"

#include <QList>
#include <QQueue>
#include <QStringList>

struct ShownMessage
{
    MsgKind kind;
    QString text;
    MsgButtons buttons;
    QString caption;
};

class FakeMessages final : public MessageSink
{
public:
    explicit FakeMessages(MsgButton whenEmpty = MsgButton::Ok);
    ~FakeMessages() override;
    FakeMessages(const FakeMessages &) = delete;
    FakeMessages &operator=(const FakeMessages &) = delete;

    // The answer to the next box shown.
    void QueueAnswer(MsgButton answer);
    void SetAnswerWhenEmpty(MsgButton answer) { m_whenEmpty = answer; }
    int PendingAnswers() const { return int(m_answers.size()); }

    const QList<ShownMessage> &Shown() const { return m_shown; }
    QStringList Texts() const;
    int Count() const { return int(m_shown.size()); }
    // The last box shown; fails the test when none was.
    ShownMessage Last() const;
    void Clear() { m_shown.clear(); }

    MsgButton Show(MsgKind kind, const QString &text, MsgButtons buttons,
                   const QString &caption) override;

private:
    MessageSink *m_previous;
    MsgButton m_whenEmpty;
    QQueue<MsgButton> m_answers;
    QList<ShownMessage> m_shown;
};

// For readable test failures.
const char *ToString(MsgKind kind);
const char *ToString(MsgButtons buttons);
const char *ToString(MsgButton button);
