#pragma once
// Fixture base: every test starts on an empty settings section.

#include <QSettings>
#include <gtest/gtest.h>

inline void ClearSettings()
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    s.clear();
    s.sync();
}

class TempSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
};
