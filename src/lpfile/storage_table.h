// The storage a load profile needs for every channel count and supported interval length.
#pragma once

// Prints the storage allocation table on standard output: 16 channel counts x 15 interval
// lengths against a budget of 4099680 bytes, capped at 1095 days. Always returns 0.
int PrintDaysCalculationTable();
