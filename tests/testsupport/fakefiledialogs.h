#pragma once
// Test stand-in for the file dialogs: installs itself for its lifetime, keeps every request it
// was asked and answers from a queue of file names or Cancel. A dialog with nothing queued
// fails the test and answers Cancel. Main thread only.

#include "store/filedialogs.h"

#include <QList>
#include <QQueue>
#include <optional>

class FakeFileDialogs final : public FileDialogs
{
public:
    FakeFileDialogs();
    ~FakeFileDialogs() override;
    FakeFileDialogs(const FakeFileDialogs &) = delete;
    FakeFileDialogs &operator=(const FakeFileDialogs &) = delete;

    // The answer to the next dialog: this name chosen, or Cancel.
    void QueueName(const QString &fileName);
    void QueueCancel();
    int PendingAnswers() const { return int(m_answers.size()); }

    const QList<FileDialogRequest> &Requests() const { return m_requests; }
    int Count() const { return int(m_requests.size()); }
    // The last request; fails the test when none was made.
    FileDialogRequest Last() const;

    bool Ask(QWidget *owner, const FileDialogRequest &request, QString &fileName) override;

private:
    FileDialogs *m_previous;
    QQueue<std::optional<QString>> m_answers; // nullopt: Cancel
    QList<FileDialogRequest> m_requests;
};
