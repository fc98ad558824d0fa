// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <initializer_list>

namespace calimbra {

// A family of series, as Prometheus knows it: its name, its type ("gauge" or "counter") and its
// help. The texts stay in English whatever the locale: tools and dashboards read them, and a scrape
// must not change with the language the service was started in.
struct FigureFamily
{
    const char* name;
    const char* type;
    const char* help;
};

// One label of a sample, besides the board's, which the writer adds to every sample.
struct FigureLabel
{
    const char* name;
    QString value;
};

// Where the parts write their figures at a scrape. Samples of one family may come from several
// parts, in any order: the writer keeps them together under one HELP and TYPE.
class FigureWriter
{
public:
    virtual ~FigureWriter() = default;
    virtual void add(const FigureFamily& family, std::initializer_list<FigureLabel> labels, double value) = 0;
};

// A part that reports its own figures (the alarms their limits and states, the broker's output its
// connection and outbox): it writes them as they are when asked, at each scrape, so that nothing
// needs telling of each change and nothing else needs knowing what a part has to show.
class FigureSource
{
public:
    virtual ~FigureSource() = default;
    virtual void writeFigures(FigureWriter& writer) const = 0;
};

// A part that shows the others' figures (the metrics): the pipeline hands it every source it has,
// and takes back one that goes.
class FigureGatherer
{
public:
    virtual ~FigureGatherer() = default;
    virtual void addSource(const FigureSource* source) = 0;
    virtual void removeSource(const FigureSource* source) = 0;
};

} // namespace calimbra
