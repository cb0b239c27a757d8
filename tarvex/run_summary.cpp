#include "tarvex/run_summary.h"

void run_summary::reset()
{
    tables_converted_.store(0);
    tables_failed_.store(0);
    records_copied_.store(0);
    records_refused_.store(0);
}

std::wstring run_summary::text(bool stopped) const
{
    return std::wstring(stopped ? L"Conversion stopped." : L"Conversion ended.") + L" Tables converted: " +
           std::to_wstring(tables_converted()) + L", failed: " + std::to_wstring(tables_failed()) +
           L". Records copied: " + std::to_wstring(records_copied()) + L", refused: " +
           std::to_wstring(records_refused()) + L".\n";
}
