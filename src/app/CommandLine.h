#pragma once

// Work done from the command line, without a window:
//   vorn --check [YYYY-MM-DD]      the pre-air check of a day (today by default);
//                                  exit 0 nothing found, 1 findings, 2 no database
//   vorn --export-log FROM TO      the as-run log of those days as CSV on
//                                  standard output; exit 0, or 2 no database
// Returns -1 when the arguments ask for none of these (the desk starts).
int runCommandLine(int argc, char** argv);
