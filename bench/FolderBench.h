#pragma once

// Times how the watched folder follows a camera import of 500 files, written at once and
// spread over seconds: how many listings the viewer makes and how soon the last file is listed.
void runFolderBench();
