#pragma once

// Paging through the surveys of the noise file: LineCount lines, CurLine (1-based) on display.
// Up goes to the next line and wraps from the last to the first, Down the other way.
struct NoisePages {
    int LineCount = 0;
    int CurLine = 0;

    int Up() {
        CurLine = CurLine + 1 > LineCount ? 1 : CurLine + 1;
        return CurLine;
    }
    int Down() {
        CurLine = CurLine - 1 < 1 ? LineCount : CurLine - 1;
        return CurLine;
    }
};
