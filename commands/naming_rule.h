#pragma once

// Where a thumbnail goes: beside its source under a prefix, or into the chosen output folder.
enum NamingRule { nmNone = 0, nmPrefix = 1, nmOutputFolder = 2 };
