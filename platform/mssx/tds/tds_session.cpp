#include "platform/mssx/tds/tds_session.h"
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_catalog_procs.h"
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_login7.h"
#include "platform/mssx/tds/tds_prelogin.h"

namespace {

constexpr uint16_t kCurCmdSelect = 0xC1;
constexpr uint16_t kCurCmdNone = 0;
constexpr int32_t kMsgChangedDatabase = 5701;
constexpr int32_t kMsgChangedLanguage = 5703;
constexpr int32_t kMsgUntrustedDomain = 18452;
constexpr int kMsgLoginFailed = 18456;
constexpr const char* kProgramName = "Microsoft SQL Server";
constexpr uint8_t kTmBeginXact = 5;
constexpr uint8_t kTmCommitXact = 7;
constexpr uint8_t kTmRollbackXact = 8;

// Names declared in an sp_executesql parameter list, in order ("@P1 int, @P2 nvarchar(10)").
std::vector<std::string> declared_names(const std::string& decl)
{
    std::vector<std::string> names;
    int depth = 0;
    bool expect = true;
    for (size_t i = 0; i < decl.size(); ++i) {
        char c = decl[i];
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if (c == ',' && depth == 0)
            expect = true;
        else if (c == '@' && expect) {
            size_t b = i;
            while (i + 1 < decl.size() &&
                   (std::isalnum(static_cast<unsigned char>(decl[i + 1])) || decl[i + 1] == '_' || decl[i + 1] == '@' ||
                    decl[i + 1] == '#' || decl[i + 1] == '$'))
                ++i;
            names.push_back(decl.substr(b, i - b + 1));
            expect = false;
        }
    }
    return names;
}

std::string text_of(const mssx_value& v)
{
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto b = std::get_if<mssx_blob>(&v)) return b->bytes;
    return {};
}

int32_t int_of(const mssx_value& v)
{
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<int32_t>(*p);
    if (auto s = std::get_if<std::string>(&v)) return static_cast<int32_t>(std::strtol(s->c_str(), nullptr, 10));
    return 0;
}

std::string lower(std::string s)
{
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string bracket(const std::string& name)
{
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

} // namespace

tds_session::tds_session(int fd, std::string server_dir, uint16_t spid, tds_login_guard& guard, std::string peer,
                         int idle_timeout_seconds)
    : channel_(fd),
      dir_(std::move(server_dir)),
      spid_(spid),
      guard_(guard),
      peer_(std::move(peer)),
      idle_timeout_seconds_(idle_timeout_seconds)
{
    channel_.set_spid(spid);
    // until it has logged in, a client gets little room and little time
    channel_.set_max_message(tds::kMaxUnauthenticatedMessage);
    channel_.set_deadline(std::chrono::steady_clock::now() + std::chrono::seconds(tds::kLoginTimeoutSeconds));
    // messages name the server as the host it runs on, as a server does
    std::string host(256, '\0');
    if (::gethostname(host.data(), host.size()) == 0) server_name_ = host.c_str();
}

void tds_session::send(tds_token_writer& w)
{
    channel_.send_message(tds::kPacketTabularResult, w.buffer());
    w.clear();
}

tds_message_text tds_session::message_of(const mssx_error& e) const
{
    tds_message_text m;
    m.number = e.number;
    m.severity = static_cast<uint8_t>(e.severity);
    m.text = e.what();
    m.line = e.line > 0 ? e.line : 1;
    m.server = server_name_;
    return m;
}

void tds_session::run()
{
    try {
        tds_message m;
        if (!channel_.read_message(m)) return;
        if (m.type == tds::kPacketPrelogin) {
            tds_read_prelogin(m.payload);
            uint32_t version = 15u << 24;
            try {
                mssx_server s(dir_);
                version = static_cast<uint32_t>(s.major_version()) << 24;
            } catch (const mssx_error&) {}
            channel_.send_message(tds::kPacketTabularResult, tds_prelogin_response(version, 0));
            if (!channel_.read_message(m)) return;
        }
        if (m.type != tds::kPacketLogin7 || !login(m)) return;
        channel_.set_max_message(tds_max_request_size());
        channel_.set_deadline(std::nullopt);
        if (idle_timeout_seconds_ > 0) channel_.set_idle_timeout(std::chrono::seconds(idle_timeout_seconds_));
        while (channel_.read_message(m)) {
            switch (m.type) {
            case tds::kPacketSqlBatch:
                batch(m);
                break;
            case tds::kPacketRpc:
                rpc(m);
                break;
            case tds::kPacketTransactionManager:
                transaction_manager(m);
                break;
            case tds::kPacketAttention: {
                // every request is answered whole before the next is read
                tds_token_writer w(version_);
                w.done(tds::kTokenDone, tds::kDoneAttn, kCurCmdNone, 0);
                send(w);
                break;
            }
            default:
                return;
            }
        }
    } catch (const tds_protocol_error&) {
        // the client broke the protocol or left: the connection ends
    }
}

bool tds_session::login(const tds_message& first)
{
    tds_login7 l = tds_read_login7(first.payload);
    version_ = std::min(l.tds_version, tds::kTds74);
    if (version_ < tds::kTds70) version_ = tds::kTds70;
    tds_token_writer w(version_);
    auto refuse = [&](const mssx_error& e) {
        tds_message_text m = message_of(e);
        w.error(m);
        w.done(tds::kTokenDone, tds::kDoneError, kCurCmdNone, 0);
        send(w);
        return false;
    };
    if (l.integrated())
        return refuse(mssx_error(
            kMsgUntrustedDomain,
            "Login failed. The login is from an untrusted domain and cannot be used with Windows authentication.", 14));
    try {
        conn_ = std::make_unique<mssx_connection>(dir_, mssx_login{l.user_name, l.password, false, l.database});
    } catch (const mssx_error& e) {
        if (e.number == kMsgLoginFailed) guard_.failed(peer_, l.user_name);
        return refuse(e);
    }
    guard_.succeeded(peer_);
    uint32_t packet = l.packet_size == 0 ? tds::kDefaultPacketSize : l.packet_size;
    packet = std::clamp(packet, tds::kMinPacketSize, tds::kMaxPacketSize);
    tds_message_text info;
    info.severity = tds::kClassInfo;
    info.number = kMsgChangedDatabase;
    info.text = "Changed database context to '" + conn_->database() + "'.";
    w.env_change(tds::kEnvDatabase, conn_->database(), "master");
    w.info(info);
    w.env_collation();
    w.env_change(tds::kEnvLanguage, "us_english", "");
    info.number = kMsgChangedLanguage;
    info.text = "Changed language setting to us_english.";
    w.info(info);
    uint32_t prog = static_cast<uint32_t>(conn_->server().major_version()) << 24;
    w.login_ack(kProgramName, prog);
    w.env_change(tds::kEnvPacketSize, std::to_string(packet), std::to_string(packet));
    if (l.wants_feature_ext() && version_ >= tds::kTds74) w.feature_ext_ack();
    w.done(tds::kTokenDone, tds::kDoneFinal, kCurCmdNone, 0);
    send(w);
    channel_.set_packet_size(packet);
    return true;
}

bool tds_session::write_outcome(tds_token_writer& w, const mssx_outcome& out, uint8_t final_token, bool final_more,
                                const std::string& database_before)
{
    if (conn_->database() != database_before) {
        w.env_change(tds::kEnvDatabase, conn_->database(), database_before);
        tds_message_text info;
        info.number = kMsgChangedDatabase;
        info.text = "Changed database context to '" + conn_->database() + "'.";
        w.info(info);
    }
    for (auto& msg : out.messages) {
        if (msg.rfind("(", 0) == 0) continue; // row counts travel in DONE tokens
        tds_message_text info;
        info.text = msg;
        w.info(info);
    }
    uint8_t inner = final_token == tds::kTokenDoneProc ? tds::kTokenDoneInProc : tds::kTokenDone;
    for (size_t i = 0; i < out.results.size(); ++i) {
        w.result(out.results[i]);
        bool more =
            i + 1 < out.results.size() || !out.errors.empty() || final_token == tds::kTokenDoneProc || final_more;
        w.done(inner, static_cast<uint16_t>(tds::kDoneCount | (more ? tds::kDoneMore : 0)), kCurCmdSelect,
               out.results[i].rows.size());
    }
    for (auto& e : out.errors) w.error(message_of(e));
    return !out.errors.empty();
}

void tds_session::batch(const tds_message& m)
{
    std::string text = tds_read_sql_batch(m.payload, version_);
    std::string before = conn_->database();
    mssx_outcome out;
    if (!tds_catalog_batch(*conn_, text, out)) out = conn_->execute(text);
    tds_token_writer w(version_);
    bool failed = write_outcome(w, out, tds::kTokenDone, false, before);
    uint16_t status = failed ? tds::kDoneError : tds::kDoneFinal;
    uint64_t rows = 0;
    if (out.rows_affected >= 0) {
        status |= tds::kDoneCount;
        rows = static_cast<uint64_t>(out.rows_affected);
    }
    // the last result's DONE ends the response when nothing follows it
    if (out.results.empty() || failed) w.done(tds::kTokenDone, status, kCurCmdNone, rows);
    send(w);
}

mssx_outcome tds_session::run_with_params(const std::string& statement, const std::string& declarations,
                                          const std::vector<tds_rpc_param>& values)
{
    std::vector<std::string> names = declared_names(declarations);
    std::vector<mssx_parameter> params;
    for (size_t i = 0; i < values.size(); ++i) {
        std::string name = values[i].name;
        if (name.empty() && i < names.size()) name = names[i];
        if (name.empty()) continue;
        params.push_back({name, values[i].type, values[i].value});
    }
    return conn_->execute(statement, params);
}

void tds_session::rpc_call(tds_rpc_call& call, tds_token_writer& w, bool last)
{
    std::string before = conn_->database();
    std::string name = lower(call.name);
    uint16_t id = call.proc_id;
    if (id == 0) {
        if (name == "sp_executesql")
            id = tds::kSpExecuteSql;
        else if (name == "sp_prepare")
            id = tds::kSpPrepare;
        else if (name == "sp_execute")
            id = tds::kSpExecute;
        else if (name == "sp_prepexec")
            id = tds::kSpPrepExec;
        else if (name == "sp_unprepare")
            id = tds::kSpUnprepare;
    }
    auto& p = call.params;
    auto param_text = [&](size_t i) { return i < p.size() ? text_of(p[i].value) : std::string(); };
    auto rest = [&](size_t from) {
        return std::vector<tds_rpc_param>(p.begin() + static_cast<std::ptrdiff_t>(std::min(from, p.size())), p.end());
    };
    mssx_outcome out;
    int32_t handle = 0;
    bool returns_handle = false;
    switch (id) {
    case 0:
        if (!tds_catalog_procedure(*conn_, call.name, p, out)) {
            // any other procedure: EXEC with the values as variables
            std::string text = "EXEC " + bracket(call.name);
            std::vector<mssx_parameter> vars;
            for (size_t i = 0; i < p.size(); ++i) {
                std::string var = "@tds_param_" + std::to_string(i + 1);
                text += (i ? ", " : " ") + (p[i].name.empty() ? std::string() : p[i].name + " = ") + var;
                vars.push_back({var, p[i].type, p[i].value});
            }
            out = conn_->execute(text, vars);
        }
        break;
    case tds::kSpExecuteSql:
        out = run_with_params(param_text(0), param_text(1), rest(2));
        break;
    case tds::kSpPrepare:
    case tds::kSpPrepExec:
        handle = next_handle_++;
        prepared_[handle] = {param_text(1), param_text(2)};
        returns_handle = true;
        if (id == tds::kSpPrepExec) out = run_with_params(param_text(2), param_text(1), rest(3));
        break;
    case tds::kSpExecute: {
        auto it = prepared_.find(p.empty() ? 0 : int_of(p[0].value));
        if (it == prepared_.end())
            out.errors.push_back(mssx_error(8179, "Could not find prepared statement with handle " +
                                                      std::to_string(p.empty() ? 0 : int_of(p[0].value)) + "."));
        else
            out = run_with_params(it->second.statement, it->second.declarations, rest(1));
        break;
    }
    case tds::kSpUnprepare:
        if (!p.empty()) prepared_.erase(int_of(p[0].value));
        break;
    default:
        out.errors.push_back(mssx_error(2812, "Could not find stored procedure '" +
                                                  (call.name.empty() ? "#" + std::to_string(id) : call.name) + "'."));
        break;
    }
    bool failed = write_outcome(w, out, tds::kTokenDoneProc, !last, before);
    w.return_status(failed ? 1 : 0);
    if (returns_handle) w.return_int_value(0, p.empty() ? std::string("@handle") : p[0].name, handle);
    uint16_t status = static_cast<uint16_t>((failed ? tds::kDoneError : 0) | (last ? 0 : tds::kDoneMore));
    uint64_t rows = 0;
    if (out.rows_affected >= 0) {
        status |= tds::kDoneCount;
        rows = static_cast<uint64_t>(out.rows_affected);
    }
    w.done(tds::kTokenDoneProc, status, kCurCmdNone, rows);
}

void tds_session::rpc(const tds_message& m)
{
    std::vector<tds_rpc_call> calls = tds_read_rpc(m.payload, version_);
    tds_token_writer w(version_);
    for (size_t i = 0; i < calls.size(); ++i) rpc_call(calls[i], w, i + 1 == calls.size());
    send(w);
}

void tds_session::transaction_manager(const tds_message& m)
{
    tds_reader r(m.payload);
    tds_skip_all_headers(r, version_);
    uint16_t request = r.u16();
    tds_token_writer w(version_);
    // every batch of the embedded server commits as it ends: a transaction is acknowledged, not kept
    std::string descriptor(8, '\0');
    descriptor[0] = 1;
    if (request == kTmBeginXact)
        w.env_change_bytes(tds::kEnvBeginTran, descriptor, "");
    else if (request == kTmCommitXact)
        w.env_change_bytes(tds::kEnvCommitTran, "", descriptor);
    else if (request == kTmRollbackXact)
        w.env_change_bytes(tds::kEnvRollbackTran, "", descriptor);
    w.done(tds::kTokenDone, tds::kDoneFinal, kCurCmdNone, 0);
    send(w);
}
