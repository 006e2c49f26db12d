// Fixed-length ring histories of telemetry variables with one shared write
// position. Readers unwrap a ring themselves: h[start..n-1], then h[0..start-1].
#pragma once

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "IDataStrings.h"

// Samples a history of historySeconds keeps at one sample per time-out of
// timeoutMs (10 s at 16 ms: 625). A time-out below 1 ms counts as 1 ms; the
// result is at least one sample and at most a hundred million.
inline unsigned historySamples(unsigned historySeconds, int timeoutMs)
{
    if (timeoutMs < 1)
        timeoutMs = 1;
    const double n = std::ceil(static_cast<double>(historySeconds) * 1000.0 / static_cast<double>(timeoutMs));
    if (!(n >= 1.0))
        return 1;
    if (n > 1.0e8)
        return 100000000;
    return static_cast<unsigned>(n);
}

template <typename T>
class CommonModel : public IDataStrings {
public:
    using HistoryPtrMap = std::unordered_map<IDataStrings::VariableEnum, std::vector<T>*>;

    explicit CommonModel(unsigned historyLength)
        : historyLength(historyLength)
    {
        addVar(SESSION_TIME);
    }

    // Adds a history slot with storage for N values; adding it again keeps its values.
    void addVar(IDataStrings::VariableEnum v)
    {
        auto inserted = varHistory.emplace(v, std::vector<T>());
        std::vector<T>& h = inserted.first->second;
        if (inserted.second)
            h.reserve(historyLength);
        varHistoryPts.emplace(v, &h);
    }

    // Stores this pass's value; session time is kept relative to the first one.
    void setVar(IDataStrings::VariableEnum v, T value)
    {
        if (v == SESSION_TIME)
            value = relativeTime(value);
        std::vector<T>& h = varHistory.at(v);
        if (h.size() < historyLength)
            h.push_back(value);
        else
            h[writeIndex] = value;
    }

    void incrementIndex()
    {
        ++writeIndex;
        if (writeIndex > historyLength - 1)
            writeIndex = 0;
        currStartIndex = varHistory.at(SESSION_TIME).size() < historyLength ? 0 : writeIndex;
    }

    // Starts every history afresh, as after construction: no values and no
    // time origin. The vectors keep their storage and their addresses, so
    // the views' pointers stay valid and refilling allocates nothing.
    void reset()
    {
        for (auto& entry : varHistory)
            entry.second.clear();
        timeOrigin = -1.0f;
        currStartIndex = 0;
        writeIndex = 0;
    }

    uint32_t getCurrStartIndex() const { return currStartIndex; }
    std::vector<T>* getPtVar(IDataStrings::VariableEnum v) { return varHistoryPts.at(v); }
    HistoryPtrMap getVarHistoryPts() const { return varHistoryPts; }

private:
    T relativeTime(T value)
    {
        if (timeOrigin < 0.0f)
            timeOrigin = static_cast<float>(value);
        return subtractOrigin(value);
    }

    T subtractOrigin(T value) const;

    float timeOrigin = -1.0f;
    uint32_t historyLength;
    uint32_t currStartIndex = 0;
    uint32_t writeIndex = 0;
    std::unordered_map<IDataStrings::VariableEnum, std::vector<T>> varHistory;
    HistoryPtrMap varHistoryPts;
};

template <>
inline float CommonModel<float>::subtractOrigin(float value) const
{
    return value - timeOrigin;
}

template <>
inline double CommonModel<double>::subtractOrigin(double value) const
{
    return value - static_cast<double>(timeOrigin);
}

template <>
inline int CommonModel<int>::subtractOrigin(int value) const
{
    return static_cast<int>(static_cast<float>(value) - timeOrigin);
}
