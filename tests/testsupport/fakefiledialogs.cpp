#include "testsupport/fakefiledialogs.h"

#include <gtest/gtest.h>

FakeFileDialogs::FakeFileDialogs() : m_previous(SetFileDialogs(this)) {}

FakeFileDialogs::~FakeFileDialogs()
{
    SetFileDialogs(m_previous);
}

void FakeFileDialogs::QueueName(const QString &fileName)
{
    m_answers.enqueue(fileName);
}

void FakeFileDialogs::QueueCancel()
{
    m_answers.enqueue(std::nullopt);
}

FileDialogRequest FakeFileDialogs::Last() const
{
    if (m_requests.isEmpty()) {
        ADD_FAILURE() << "no file dialog was shown";
        return {};
    }
    return m_requests.last();
}

bool FakeFileDialogs::Ask(QWidget *, const FileDialogRequest &request, QString &fileName)
{
    m_requests.append(request);
    if (m_answers.isEmpty()) {
        ADD_FAILURE() << "unexpected file dialog \"" << request.title.toStdString()
                      << "\" proposing \"" << request.proposedName.toStdString() << '"';
        return false;
    }
    const std::optional<QString> answer = m_answers.dequeue();
    if (!answer)
        return false;
    fileName = *answer;
    return true;
}
