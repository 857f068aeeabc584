#pragma once

#include <vector>

// Each registers its cases for the given row counts, contenders of one size next to each other.
void registerModelWorkloads(int n, bool withSingleAppends);
void registerSortWorkloads(int n);
void registerViewWorkloads(int n);
void registerThreadWorkloads();
void registerMemoryWorkloads(int n);
