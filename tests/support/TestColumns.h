#pragma once

#include <QTest>

// A column per name, of the types given in the same order.
template <typename... Types, typename... Names> void addColumns(const Names&... names)
{
    (QTest::addColumn<Types>(names), ...);
}
