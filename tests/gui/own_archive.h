// SPDX-License-Identifier: MIT
// Every window test records into an odds archive of its own, never into the user's or another
// test's, and whatever a test set as the program's archive is undone after it, failed or not.
#pragma once

#include <gtest/gtest.h>
#include <memory>

#include <QTemporaryDir>

#include "archive/odds_archive.h"

class OwnArchivePerTest final : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo&) override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        OddsArchive::setDefaultPath(m_dir->filePath(QStringLiteral("odds.sqlite")));
    }
    void OnTestEnd(const testing::TestInfo&) override
    {
        OddsArchive::setDefaultPath({});
        m_dir.reset();
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
