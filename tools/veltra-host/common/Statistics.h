// Sample statistics shared by everything that measures: the smallest, the median and
// the largest of a set of samples, with their count, and ratios taken pair by pair.
#pragma once

#include <cstddef>
#include <vector>

struct Statistics {
    size_t count = 0;
    double min = 0, median = 0, max = 0;
};

Statistics StatisticsOf(std::vector<double> samples);

// numerators[i] / denominators[i] for each pair of samples taken together.
std::vector<double> PairRatios(const std::vector<double>& numerators, const std::vector<double>& denominators);
