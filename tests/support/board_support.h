#pragma once
// Headless suites with a board: a scratch data folder, a simulated board on COM3 at 9600 bps,
// a recording sleeper and reporter, board jobs run in an Operation on them, and the endings the
// jobs showed.

#include "base/language.h"
#include "comm/operation.h"
#include "support/test_support.h"

#include <QString>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace kestrix::testing {

using Lines = std::vector<QString>;

// Hangs the simulated board up once the job has reported `unplugAtStep` steps, as a board
// unplugged in the middle of a job; never while `board` is null or the step negative.
class UnpluggingReporter : public RecordingReporter {
public:
    UnpluggingReporter() = default;
    UnpluggingReporter(sim::BoardSim *board, int unplugAtStep) : board(board), unplugAtStep(unplugAtStep) {}

    void progress(int done, int total) override
    {
        RecordingReporter::progress(done, total);
        if (board && done == unplugAtStep)
            board->hangUp();
    }

    sim::BoardSim *board = nullptr;
    int unplugAtStep = -1;
};

class BoardTest : public ::testing::Test {
protected:
    static constexpr SerialSettings Board{3, 9600};

    void SetUp() override
    {
        board = startBoardOn(Board.port, Board.speed);
        ASSERT_TRUE(board);
        reporter.board = board.get();
        for (TextId id : {Text::BoardLost, Text::OperationCancelled})
            addEndingUpToCount(id);
    }

    // Runs `job` in an Operation on the board, in the job's status form.
    template <class Data>
    JobResult<Data> run(const BoardJob<Data> &job)
    {
        noteEndings(job.texts);
        Operation operation(Board, reporter, job.texts.form, sleeper);
        JobResult<Data> result = operation.run(job);
        addEnding(result.ending.text);
        return result;
    }

    // Hangs the board up once the next job has reported `step` steps.
    void unplugAtStep(int step) { reporter.unplugAtStep = step; }

    // The texts of line 0's history that are an ending, in the order shown: a lost board, a
    // cancel, and the completion, incomplete text and failed check of each job run so far.
    Lines endings() const
    {
        const QString statusPrefix = LookupText(Text::Status) + ' ';
        Lines shown;
        for (const QString &line : reporter.history) {
            if (!line.startsWith(QLatin1String("0: ")))
                continue;
            const QString text = line.mid(3);
            const QString message = text.startsWith(statusPrefix) ? text.mid(statusPrefix.size()) : text;
            if (std::ranges::any_of(m_endingTexts, [&message](const QString &e) { return message.startsWith(e); }))
                shown.push_back(text);
        }
        return shown;
    }

    // Line 0 ends with `line`, and it is the only ending its history shows.
    void expectOneEnding(const QString &line) const
    {
        EXPECT_EQ(reporter.lines[0], line);
        EXPECT_EQ(endings(), Lines{line}) << "one ending in the status history";
    }

    // Counts lines starting with `text` (after the status prefix) as endings from now on.
    void addEnding(const QString &text)
    {
        if (!text.isEmpty() && std::ranges::find(m_endingTexts, text) == m_endingTexts.end())
            m_endingTexts.push_back(text);
    }

    ScratchDataDir data;
    std::unique_ptr<sim::BoardSim> board;
    RecordingSleeper sleeper;
    UnpluggingReporter reporter;

private:
    // A text with a count in it ends where the count begins.
    void addEndingUpToCount(TextId id)
    {
        if (id.valid())
            addEnding(LookupText(id).section(QLatin1String("%1"), 0, 0));
    }

    void noteEndings(const JobTexts &texts)
    {
        for (TextId id : {texts.completion, texts.incomplete})
            addEndingUpToCount(id);
        if (!texts.form.failureTexts.empty())
            addEndingUpToCount(texts.form.failureTexts.front());
    }

    Lines m_endingTexts;
};

} // namespace kestrix::testing
