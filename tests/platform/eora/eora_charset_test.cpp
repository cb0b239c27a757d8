#include "tests/platform/eora/eora_test_service.h"

namespace {

using eora::value;

class EoraCharset : public eora_test::service {
protected:
    // A second service of the folder, made with the given character sets, and SYSTEM's session on it.
    std::unique_ptr<eora::session> service_with(const std::string& charset, const std::string& ncharset)
    {
        const std::string other = (dir / (charset + "_" + ncharset + ".db")).string();
        eora::session::create_service(other, "manager", charset, ncharset);
        return std::make_unique<eora::session>(other, "SYSTEM", "manager");
    }
    static std::vector<std::string> nls(eora::session& on)
    {
        return run_on(on,
                      "select parameter, value from nls_database_parameters where parameter in "
                      "('NLS_CHARACTERSET', 'NLS_NCHAR_CHARACTERSET') order by parameter");
    }
    static int create_error(const std::string& charset, const std::string& ncharset, const std::string& file)
    {
        try {
            eora::session::create_service(file, "manager", charset, ncharset);
        } catch (const eora::eora_error& e) {
            return e.number();
        }
        return 0;
    }
};

TEST_F(EoraCharset, TheCharacterSetsAreKeptAndShown)
{
    EXPECT_EQ(nls(*s), (std::vector<std::string>{"NLS_CHARACTERSET|AL32UTF8|", "NLS_NCHAR_CHARACTERSET|AL16UTF16|"}));
    auto win = service_with("WE8MSWIN1252", "UTF8");
    EXPECT_EQ(nls(*win), (std::vector<std::string>{"NLS_CHARACTERSET|WE8MSWIN1252|", "NLS_NCHAR_CHARACTERSET|UTF8|"}));
    EXPECT_EQ(win->settings().ncharset, "UTF8");
    const std::string bad = (dir / "BAD.db").string();
    EXPECT_EQ(create_error("KLINGON", "AL16UTF16", bad), 12715);
    EXPECT_EQ(create_error("AL32UTF8", "AL32UTF8", bad), 12714);
    EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST_F(EoraCharset, ASingleByteSetStoresWhatItHoldsAndNationalColumnsKeepEverything)
{
    auto win = service_with("WE8MSWIN1252", "AL16UTF16");
    run_on(*win, "create table t (v varchar2(20), c char(8), l clob, nv nvarchar2(20), nc nchar(8), nl nclob)");
    const std::string text = "漢字 €é😀";
    run_on(*win, "insert into t values (:1, :2, :3, :4, :5, :6)",
           {value::text(text), value::text(text), value::text(text), value::text(text), value::text(text),
            value::text(text)});
    // One replacement character for each character the set lacks, the emoji too; CHAR pads to 8 bytes of the
    // set, NCHAR to 8 characters of the national set (the emoji takes two).
    EXPECT_EQ(run_on(*win, "select v, c, l, nv, nc, nl from t"),
              (std::vector<std::string>{"¿¿ €é¿|¿¿ €é¿  |¿¿ €é¿|" + text + "|" + text + " |" + text + "|"}));
    // Lengths in bytes of the set: one a character.
    run_on(*win, "create table b (v varchar2(3))");
    EXPECT_EQ(error_on(*win, "insert into b values ('€éü')"), 0);
    EXPECT_EQ(error_on(*win, "insert into b values ('€éüx')"), 12899);
    run("create table b (v varchar2(3))");
    try {
        run("insert into b values (:1)", {value::text("€éü")});
        ADD_FAILURE() << "7 bytes went into 3";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.number(), 12899);
        EXPECT_NE(e.text().find("actual: 7, maximum: 3"), std::string::npos) << e.text();
    }
}

TEST_F(EoraCharset, NationalLengthsFollowTheNationalSet)
{
    struct limit {
        std::string ncharset, type;
        int most;
    };
    const std::vector<limit> limits = {
        {"AL16UTF16", "nvarchar2", 2000},
        {"AL16UTF16", "nchar", 1000},
        {"UTF8", "nvarchar2", 1333},
        {"UTF8", "nchar", 666},
    };
    for (const auto& l : limits) {
        auto on = service_with("AL32UTF8", l.ncharset);
        const std::string fits = l.type + "(" + std::to_string(l.most) + ")";
        const std::string over = l.type + "(" + std::to_string(l.most + 1) + ")";
        EXPECT_EQ(error_on(*on, "create table ok (a " + fits + ")"), 0) << l.ncharset << " " << fits;
        EXPECT_EQ(error_on(*on, "create table too_long (a " + over + ")"), 910) << l.ncharset << " " << over;
        EXPECT_EQ(error_on(*on, "alter table ok modify (a " + over + ")"), 910) << l.ncharset << " " << over;
        std::filesystem::remove(dir / ("AL32UTF8_" + l.ncharset + ".db"));
        std::filesystem::remove(dir / ("AL32UTF8_" + l.ncharset + ".db-wal"));
        std::filesystem::remove(dir / ("AL32UTF8_" + l.ncharset + ".db-shm"));
        std::filesystem::remove(dir / ("AL32UTF8_" + l.ncharset + ".db-lock"));
    }
}

TEST_F(EoraCharset, UnicodeSetsCountTheirOwnBytes)
{
    // AL32UTF8 writes a character beyond the BMP in 4 bytes, Oracle's UTF8 in 6.
    const std::string emoji = "😀";
    run("create table e (v varchar2(5))");
    EXPECT_NO_THROW(run("insert into e values (:1)", {value::text(emoji)}));
    auto utf8 = service_with("UTF8", "AL16UTF16");
    run_on(*utf8, "create table e (v varchar2(5), w varchar2(6))");
    try {
        run_on(*utf8, "insert into e (v) values (:1)", {value::text(emoji)});
        ADD_FAILURE() << "6 bytes went into 5";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.number(), 12899);
        EXPECT_NE(e.text().find("actual: 6, maximum: 5"), std::string::npos) << e.text();
    }
    run_on(*utf8, "insert into e (w) values (:1)", {value::text(emoji)});
    EXPECT_EQ(run_on(*utf8, "select w from e"), (std::vector<std::string>{emoji + "|"}));
}

} // namespace
