#include "memory/grid_rules.h"

#include "core/units.h"
#include "memory/memory_file.h"

#include <cmath>

namespace {
// The quick-filter grid's floor for a bandwidth below Narrow when the auxiliary filter takes
// part.
constexpr int AuxNarrowest = 350;
} // namespace

FrequencyCell CheckFrequencyCell(const QString& typed) {
    FrequencyCell cell;
    const QString t = typed.trimmed();
    if (t.isEmpty()) return cell;
    cell.store = true;
    if (t == QLatin1String(".")) return cell;
    double f = std::floor(FieldNumber(t) * 1000 + 0.2);
    if (f < 0) {
        f = 0;
        cell.clamped = true;
    } else if (f > FrqMax) {
        f = FrqMax;
        cell.clamped = true;
    }
    cell.hz = f;
    return cell;
}

QString FrequencyCellText(double hz) {
    return QString::asprintf("%06.3f", hz / 1000);
}

int FilterCellCode(int typed, int bwl, int bwh, bool auxFlag) {
    if (typed >= 0 && typed <= 3) return typed;
    if (typed >= bwh) return auxFlag ? 0 : 3;
    if (typed < bwl) return auxFlag ? 3 : 2;
    return typed;
}

int FilterPresetCell(int typed, int bwl, int bwh, int bwa, bool auxFlag) {
    int b = typed;
    if (b > bwh)
        b = auxFlag ? bwh : bwa;
    else if (b < bwl)
        b = auxFlag ? AuxNarrowest : bwl;
    if (b % 2 != 0) ++b;
    return b;
}
