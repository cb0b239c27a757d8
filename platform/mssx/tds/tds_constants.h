// Numbers of the TDS wire protocol, by their protocol names.
#pragma once
#include <cstdint>

namespace tds {

// Packet header
constexpr size_t kHeaderSize = 8;
enum packet_type : uint8_t {
    kPacketSqlBatch = 0x01,
    kPacketRpc = 0x03,
    kPacketTabularResult = 0x04,
    kPacketAttention = 0x06,
    kPacketBulkLoad = 0x07,
    kPacketTransactionManager = 0x0E,
    kPacketLogin7 = 0x10,
    kPacketSspi = 0x11,
    kPacketPrelogin = 0x12,
};
constexpr uint8_t kStatusEom = 0x01;
constexpr uint8_t kStatusIgnore = 0x02;
constexpr uint8_t kStatusResetConnection = 0x08;
constexpr uint8_t kStatusResetConnectionSkipTran = 0x10;

constexpr uint32_t kMinPacketSize = 512;
constexpr uint32_t kMaxPacketSize = 32767;
constexpr uint32_t kDefaultPacketSize = 4096;
// Requests larger than this are refused: the endpoint keeps a whole request in memory.
constexpr size_t kMaxRequestSize = 256u * 1024u * 1024u;
constexpr size_t kMaxLogin7Size = 128u * 1024u - 1u;
// Before a client has logged in it may make the endpoint hold no more than a
// login's worth, and must have logged in within a short time.
constexpr size_t kMaxUnauthenticatedMessage = kMaxLogin7Size;
constexpr int kLoginTimeoutSeconds = 30;
// An authenticated client that sends nothing for this long is disconnected.
constexpr int kDefaultIdleTimeoutSeconds = 30 * 60;
// Clients served at once; one more is turned away at the door.
constexpr size_t kMaxConnections = 64;

// PRELOGIN options
enum prelogin_option : uint8_t {
    kPreloginVersion = 0x00,
    kPreloginEncryption = 0x01,
    kPreloginInstOpt = 0x02,
    kPreloginThreadId = 0x03,
    kPreloginMars = 0x04,
    kPreloginTraceId = 0x05,
    kPreloginFedAuthRequired = 0x06,
    kPreloginNonceOpt = 0x07,
    kPreloginTerminator = 0xFF,
};
enum encryption : uint8_t { kEncryptOff = 0x00, kEncryptOn = 0x01, kEncryptNotSup = 0x02, kEncryptReq = 0x03 };

// TDS versions as they appear in LOGINACK (big-endian order of the bytes there).
constexpr uint32_t kTds70 = 0x70000000;
constexpr uint32_t kTds71 = 0x71000001;
constexpr uint32_t kTds72 = 0x72090002;
constexpr uint32_t kTds73A = 0x730A0003;
constexpr uint32_t kTds73B = 0x730B0003;
constexpr uint32_t kTds74 = 0x74000004;

// LOGIN7 option flags
constexpr uint8_t kOptionFlags2IntSecurity = 0x80;
constexpr uint8_t kOptionFlags3Extension = 0x10;
constexpr uint8_t kFeatureExtTerminator = 0xFF;

// Tokens
enum token : uint8_t {
    kTokenAltMetadata = 0x88,
    kTokenColMetadata = 0x81,
    kTokenColInfo = 0xA5,
    kTokenOrder = 0xA9,
    kTokenError = 0xAA,
    kTokenInfo = 0xAB,
    kTokenReturnValue = 0xAC,
    kTokenLoginAck = 0xAD,
    kTokenFeatureExtAck = 0xAE,
    kTokenRow = 0xD1,
    kTokenNbcRow = 0xD2,
    kTokenEnvChange = 0xE3,
    kTokenSspi = 0xED,
    kTokenDone = 0xFD,
    kTokenDoneProc = 0xFE,
    kTokenDoneInProc = 0xFF,
    kTokenReturnStatus = 0x79,
};

// DONE status bits
constexpr uint16_t kDoneFinal = 0x0000;
constexpr uint16_t kDoneMore = 0x0001;
constexpr uint16_t kDoneError = 0x0002;
constexpr uint16_t kDoneInXact = 0x0004;
constexpr uint16_t kDoneCount = 0x0010;
constexpr uint16_t kDoneAttn = 0x0020;
constexpr uint16_t kDoneSrvError = 0x0100;

// ENVCHANGE types
enum envchange_type : uint8_t {
    kEnvDatabase = 1,
    kEnvLanguage = 2,
    kEnvCharset = 3,
    kEnvPacketSize = 4,
    kEnvSqlCollation = 7,
    kEnvBeginTran = 8,
    kEnvCommitTran = 9,
    kEnvRollbackTran = 10,
    kEnvResetAck = 18,
};

// LOGINACK interface
constexpr uint8_t kInterfaceSqlTsql = 1;

// COLMETADATA column flags
constexpr uint16_t kColNullable = 0x0001;
constexpr uint16_t kColUpdateableUnknown = 0x0008;
constexpr uint16_t kColIdentity = 0x0010;
constexpr uint16_t kNoMetadataCount = 0xFFFF;

// Data types
enum data_type : uint8_t {
    kNullType = 0x1F,
    kInt1Type = 0x30,
    kBitType = 0x32,
    kInt2Type = 0x34,
    kInt4Type = 0x38,
    kDatetim4Type = 0x3A,
    kFlt4Type = 0x3B,
    kMoneyType = 0x3C,
    kDatetimeType = 0x3D,
    kFlt8Type = 0x3E,
    kMoney4Type = 0x7A,
    kInt8Type = 0x7F,
    kGuidType = 0x24,
    kIntNType = 0x26,
    kDecimalType = 0x37,
    kNumericType = 0x3F,
    kBitNType = 0x68,
    kDecimalNType = 0x6A,
    kNumericNType = 0x6C,
    kFltNType = 0x6D,
    kMoneyNType = 0x6E,
    kDatetimNType = 0x6F,
    kDateNType = 0x28,
    kTimeNType = 0x29,
    kDatetime2NType = 0x2A,
    kDatetimeOffsetNType = 0x2B,
    kCharType = 0x2F,
    kVarcharType = 0x27,
    kBinaryType = 0x2D,
    kVarbinaryType = 0x25,
    kBigVarBinType = 0xA5,
    kBigVarChrType = 0xA7,
    kBigBinaryType = 0xAD,
    kBigCharType = 0xAF,
    kNVarcharType = 0xE7,
    kNCharType = 0xEF,
    kXmlType = 0xF1,
    kUdtType = 0xF0,
    kTextType = 0x23,
    kImageType = 0x22,
    kNTextType = 0x63,
    kSsVariantType = 0x62,
};
constexpr uint16_t kMaxLengthPlp = 0xFFFF;   // USHORTLEN of a (max) type
constexpr uint32_t kVariantMaxLength = 8009; // the longest SSVARIANT value SQL Server announces
constexpr uint16_t kCharNull = 0xFFFF;       // USHORTLEN NULL value
constexpr uint64_t kPlpNull = 0xFFFFFFFFFFFFFFFFull;
constexpr uint64_t kPlpUnknownLength = 0xFFFFFFFFFFFFFFFEull;
constexpr uint8_t kTextPtrLength = 16;

// RPC
constexpr uint16_t kProcIdSwitch = 0xFFFF;
enum proc_id : uint16_t {
    kSpCursor = 1,
    kSpCursorOpen = 2,
    kSpCursorPrepare = 3,
    kSpCursorExecute = 4,
    kSpCursorPrepExec = 5,
    kSpCursorUnprepare = 6,
    kSpCursorFetch = 7,
    kSpCursorOption = 8,
    kSpCursorClose = 9,
    kSpExecuteSql = 10,
    kSpPrepare = 11,
    kSpExecute = 12,
    kSpPrepExec = 13,
    kSpPrepExecRpc = 14,
    kSpUnprepare = 15,
};
constexpr uint8_t kRpcParamByRef = 0x01;
constexpr uint8_t kRpcParamDefault = 0x02;
constexpr uint8_t kRpcBatchFlag = 0xFF;    // TDS 7.2 and later
constexpr uint8_t kRpcBatchFlagOld = 0x80; // before TDS 7.2
constexpr uint8_t kRpcNoExecFlag = 0xFE;

// ALL_HEADERS
constexpr uint16_t kHeaderQueryNotifications = 1;
constexpr uint16_t kHeaderTransactionDescriptor = 2;
constexpr uint16_t kHeaderTraceActivity = 3;

// Error severities
constexpr uint8_t kClassInfo = 0;
constexpr uint8_t kClassLoginFailed = 14;

} // namespace tds
