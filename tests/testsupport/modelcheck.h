#pragma once
// Qt's model tester over a model for as long as this object lives: every rule of the model
// contract it finds broken (signal order, counts, persistent indexes, roles) fails the running
// test. Main thread only; several may watch several models at once.

#include <memory>

class QAbstractItemModel;
class QAbstractItemModelTester;

class ModelContractCheck
{
public:
    explicit ModelContractCheck(QAbstractItemModel *model);
    ~ModelContractCheck();
    ModelContractCheck(const ModelContractCheck &) = delete;
    ModelContractCheck &operator=(const ModelContractCheck &) = delete;

private:
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};
