#include "scan.h"

ScanEngine::ScanEngine(Main& main) : main_(main) {}

void ScanEngine::StartScan() {}

void ScanEngine::Step() {}

void ScanEngine::TrackBand() {}
