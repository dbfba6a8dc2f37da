#include "files/paramcompare.h"

#include "files/paramreport.h"
#include "files/registerimage.h"
#include "files/snapshot.h"

#include <set>

namespace paramcompare {

QList<Difference> differences(const RegisterBlock& file, const RegisterBlock& device) {
    const auto differs = [&](int reg) { return file.u16(reg) != device.u16(reg); };
    QList<Difference> out;
    std::set<int> shown;
    for (const RegisterBlock* layout : {&file, &device}) {
        for (const paramreport::Line& line : paramreport::lines(*layout)) {
            std::vector<int> regs = paramreport::registersOf(line, 1);
            const std::vector<int> second = paramreport::registersOf(line, 2);
            regs.insert(regs.end(), second.begin(), second.end());
            // Lines that compute their value, and those a load leaves alone, are not parameters it sets.
            bool written = !regs.empty();
            bool changed = false;
            for (const int reg : regs) {
                written = written && snapshot::loaded(reg);
                changed = changed || differs(reg);
            }
            if (!written || !changed) continue;
            Difference d{QString::fromUtf8(line.name),
                         paramreport::valueText(line, file).value_or(QString()).mid(1),
                         paramreport::valueText(line, device).value_or(QString()).mid(1)};
            if (!out.contains(d)) out.append(d);
            shown.insert(regs.begin(), regs.end());
        }
    }
    for (const snapshot::LoadBlock& block : snapshot::loadPlan()) {
        for (int reg = block.first; reg < block.first + block.count; ++reg) {
            if (shown.count(reg) || !differs(reg)) continue;
            out.append({QStringLiteral("Регистр %1").arg(reg), QString::number(file.u16(reg).value_or(0)),
                        QString::number(device.u16(reg).value_or(0))});
        }
    }
    return out;
}

} // namespace paramcompare
