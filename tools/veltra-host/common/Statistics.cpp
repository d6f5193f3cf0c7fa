#include "common/Statistics.h"

#include <algorithm>

Statistics StatisticsOf(std::vector<double> samples)
{
    Statistics result;
    result.count = samples.size();
    if (samples.empty())
        return result;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    result.min = samples.front();
    result.max = samples.back();
    result.median = samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
    return result;
}

std::vector<double> PairRatios(const std::vector<double>& numerators, const std::vector<double>& denominators)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < numerators.size() && i < denominators.size(); ++i)
        if (denominators[i] > 0)
            ratios.push_back(numerators[i] / denominators[i]);
    return ratios;
}
