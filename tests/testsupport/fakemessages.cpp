#include "testsupport/fakemessages.h"

#include <gtest/gtest.h>

FakeMessages::FakeMessages(MsgButton whenEmpty)
    : m_previous(SetMessageSink(this)), m_whenEmpty(whenEmpty)
{
}

FakeMessages::~FakeMessages()
{
    SetMessageSink(m_previous);
}

void FakeMessages::QueueAnswer(MsgButton answer)
{
    m_answers.enqueue(answer);
}

QStringList FakeMessages::Texts() const
{
    QStringList texts;
    for (const ShownMessage &m : m_shown)
        texts << m.text;
    return texts;
}

ShownMessage FakeMessages::Last() const
{
    if (m_shown.isEmpty()) {
        ADD_FAILURE() << "no message was shown";
        return {MsgKind::Plain, QString(), MsgButtons::Ok, QString()};
    }
    return m_shown.last();
}

MsgButton FakeMessages::Show(MsgKind kind, const QString &text, MsgButtons buttons,
                             const QString &caption)
{
    m_shown.append({kind, text, buttons, caption});
    if (!m_answers.isEmpty()) {
        const MsgButton answer = m_answers.dequeue();
        if (!HasButton(buttons, answer))
            ADD_FAILURE() << "queued answer " << ToString(answer) << " is not a button of "
                          << ToString(buttons) << " for \"" << text.toStdString() << '"';
        return answer;
    }
    if (HasButton(buttons, m_whenEmpty))
        return m_whenEmpty;
    switch (m_whenEmpty) {
    case MsgButton::Ok:
        return HasButton(buttons, MsgButton::Yes) ? MsgButton::Yes : MsgButton::Ok;
    case MsgButton::Cancel:
        return HasButton(buttons, MsgButton::No) ? MsgButton::No : MsgButton::Ok;
    case MsgButton::Yes:
        return MsgButton::Ok;
    case MsgButton::No:
        return HasButton(buttons, MsgButton::Cancel) ? MsgButton::Cancel : MsgButton::Ok;
    }
    return MsgButton::Ok;
}

const char *ToString(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Plain:
        return "Plain";
    case MsgKind::Information:
        return "Information";
    case MsgKind::Warning:
        return "Warning";
    case MsgKind::Error:
        return "Error";
    case MsgKind::Confirmation:
        return "Confirmation";
    }
    return "?";
}

const char *ToString(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return "Ok";
    case MsgButtons::OkCancel:
        return "OkCancel";
    case MsgButtons::YesNo:
        return "YesNo";
    case MsgButtons::YesNoCancel:
        return "YesNoCancel";
    }
    return "?";
}

const char *ToString(MsgButton button)
{
    switch (button) {
    case MsgButton::Ok:
        return "Ok";
    case MsgButton::Cancel:
        return "Cancel";
    case MsgButton::Yes:
        return "Yes";
    case MsgButton::No:
        return "No";
    }
    return "?";
}
