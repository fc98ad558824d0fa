// SPDX-License-Identifier: MIT
#include "LogWatch.h"

#include "Pipeline.h"
#include "ReadingHistory.h"
#include "ReadingView.h"

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr milliseconds kLoadingRedraw{1000};

} // namespace

LogWatch::LogWatch(Pipeline& pipeline, ReadingView& view, ReadingHistory& history, QObject* parent)
    : QObject(parent), pipeline_(pipeline), view_(view), history_(history)
{}

LogWatch::~LogWatch() = default;

void LogWatch::open(const QString& path)
{
    const auto restart = [this] {
        pipeline_.setSource(Pipeline::Source::Log);
        view_.restart(false);
        view_.setNotifying(false);
        sinceShown_.invalidate();
    };
    restart();
    source_ = std::make_unique<LogSource>(path, pipeline_);
    connect(source_.get(), &LogSource::progressed, this, [this](qint64 done, qint64 total) {
        history_.expect(done, total);
        if (sinceShown_.isValid() && sinceShown_.elapsed() < kLoadingRedraw.count())
            return;
        sinceShown_.start();
        emit progressed();
    });
    connect(source_.get(), &LogSource::caughtUp, this, [this] {
        // What is added from now on is news: its alarms are told.
        view_.setNotifying(true);
        emit progressed();
        emit caughtUp();
    });
    connect(source_.get(), &LogSource::failed, this, &LogWatch::said);
    connect(source_.get(), &LogSource::restarted, this, [this, restart] {
        restart();
        emit progressed();
    });
    source_->start();
}

} // namespace calimbra
