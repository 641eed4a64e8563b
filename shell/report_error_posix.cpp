#include "shell/report_error.h"

// Builds without Windows have no main window, so there is never anything to show.
void ReportError(const CException&) {}
