// Clock and GUID defaults of SQL Server columns, in each spelling the catalog may give.
#include <gtest/gtest.h>

#include "MSS/mss_default_function.h"

TEST(MssDefaultFunction, EverySpellingOfAClockOrGuidDefaultIsKnownOthersAreNot)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"(getdate())", L"getdate()"},
        {L"(GETDATE())", L"getdate()"},
        {L"CURRENT_TIMESTAMP", L"getdate()"},
        {L"((getutcdate()))", L"getutcdate()"},
        {L"(sysdatetime())", L"sysdatetime()"},
        {L"( SYSUTCDATETIME ( ) )", L"sysutcdatetime()"},
        {L"(CONVERT([date],getdate()))", L"convert(date,getdate())"},
        {L"(convert(date, SYSDATETIME()))", L"convert(date,sysdatetime())"},
        {L"(cast(getdate() AS date))", L"convert(date,getdate())"},
        {L"(CAST(GETUTCDATE() AS [date]))", L"convert(date,getutcdate())"},
        {L"(cast(getdate()ASdate))", L"convert(date,getdate())"},
        {L"(newid())", L"newid()"},
        {L"(NEWSEQUENTIALID())", L"newid()"},
        // Not the moment or a new GUID, or not of the whole default.
        {L"(dateadd(day,(1),getdate()))", L""},
        {L"(convert(datetime,getdate()))", L""},
        {L"(cast(getdate() AS time))", L""},
        {L"(convert(date,'2020-01-01'))", L""},
        {L"('getdate()')", L""},
        {L"(getdate())+(1)", L""},
        {L"((0))", L""},
        {L"", L""},
        {L"(newid()) + 'x'", L""},
    };
    for (const auto& [stored, want] : cases) EXPECT_EQ(mss_default_function(stored), want) << stored;
}
