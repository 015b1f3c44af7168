#pragma once

// Makes the program's built-in pictures (":/vorn/...") available.
void initVornResources();
