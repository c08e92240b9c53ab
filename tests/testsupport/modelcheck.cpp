#include "testsupport/modelcheck.h"

#include <QAbstractItemModelTester>
#include <cstring>
#include <gtest/gtest.h>

namespace {

int checks = 0;
QtMessageHandler previousHandler = nullptr;

// The tester reports in its own logging category and carries on, so that one run shows every
// broken rule rather than stopping at the first.
void failOnTesterMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (context.category && std::strcmp(context.category, "qt.modeltest") == 0 &&
        type != QtDebugMsg && type != QtInfoMsg) {
        ADD_FAILURE() << "model contract: " << text.toStdString();
        return;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

ModelContractCheck::ModelContractCheck(QAbstractItemModel *model)
{
    if (checks++ == 0)
        previousHandler = qInstallMessageHandler(&failOnTesterMessage);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        model, QAbstractItemModelTester::FailureReportingMode::Warning);
}

ModelContractCheck::~ModelContractCheck()
{
    m_tester.reset();
    if (--checks == 0) {
        qInstallMessageHandler(previousHandler);
        previousHandler = nullptr;
    }
}
