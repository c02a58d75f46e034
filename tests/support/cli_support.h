#pragma once
// Suites that run kestrix-cli against a board: a scratch data folder, the simulated board on
// COM3 at 9600 bps, runs with and without its port and speed, a run whose board is unplugged on
// the way, and the frames the board received.

#include "support/process_support.h"
#include "support/test_support.h"

#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace kestrix::testing {

class CliWithBoard : public ::testing::Test {
protected:
    // The options that name the board's port and speed.
    static inline const QStringList OnBoard{"--port", "3", "--speed", "9600"};

    void SetUp() override
    {
        board = startBoardOn(3, 9600);
        ASSERT_TRUE(board);
    }

    // Writes config.ini with `text` and maps the board over it again.
    void writeConfig(const QString &text) const
    {
        data.writeConfig(text);
        ASSERT_TRUE(mapPortToDevice(3, QString::fromStdString(board->devicePath())));
    }

    // Runs kestrix-cli to its end.
    CliRun cli(const QStringList &arguments, ChildSetup setup = {}) const
    {
        return runCli(data, arguments, std::move(setup));
    }
    // Runs kestrix-cli on the board's port and speed.
    CliRun cliOnBoard(const QStringList &arguments, ChildSetup setup = {}) const
    {
        return cli(arguments + OnBoard, std::move(setup));
    }

    // Runs kestrix-cli on the board's port and speed and unplugs the board once it has received
    // `frames` frames.
    CliRun runUnplugged(const QStringList &arguments, size_t frames) const
    {
        QProcess process;
        startCli(process, data, arguments + OnBoard);
        EXPECT_TRUE(board->waitForFrames(frames, Timeout::ProcessRun));
        board->hangUp();
        EXPECT_TRUE(process.waitForFinished(Timeout::ProcessRun));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError()), 0};
    }

    // Whether the board received `frame`.
    bool sent(const std::string &frame) const
    {
        const std::vector<std::string> frames = board->frameTexts();
        return std::ranges::find(frames, frame) != frames.end();
    }

    ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
};

} // namespace kestrix::testing
