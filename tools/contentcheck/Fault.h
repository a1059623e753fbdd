#pragma once

// One line "contentcheck: FAIL ..." per fault; main counts them and exits 1 when there is any.
void Fault(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
