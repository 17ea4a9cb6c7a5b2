#pragma once

#include "qtprinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

/// A fresh temporary folder for one test, removed afterwards.
class TempDirTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    [[nodiscard]] QString path(const QString& relative = {}) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }

private:
    QTemporaryDir m_dir;
};
