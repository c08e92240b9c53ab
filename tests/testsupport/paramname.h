#pragma once
// Names each case of a parameterised suite after its row's `name` field, so that a case is run
// and reported by what it checks. Any thread (GoogleTest calls it while it registers the cases).

#include <gtest/gtest.h>

#include <string>

struct ParamName
{
    template <typename Row> std::string operator()(const ::testing::TestParamInfo<Row> &info) const
    {
        return std::string(info.param.name);
    }
};
