#pragma once

// Each registers its cases for one row count (the contenders of a workload next to each other).
void registerModelWorkloads(int n);
void registerSortWorkloads(int n);
void registerViewWorkloads(int n);
void registerThreadWorkloads();
void registerMemoryWorkloads(int n);
