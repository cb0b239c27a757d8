#include "platform/mssx/mssx_error.h"

const char* mssx_sqlstate(int number)
{
    switch (number) {
    case 208:
        return "42S02";
    case 207:
        return "42S22";
    case 2714:
        return "42S01";
    case 18456:
        return "28000";
    case 4060:
        return "42000";
    case 2627:
    case 2601:
    case 547:
    case 515:
        return "23000";
    case 245:
    case 8114:
    case 241:
    case 8169:
        return "22018";
    case 8115:
    case 220:
    case 242:
        return "22003";
    case 8152:
        return "22001";
    case 229:
    case 262:
        return "42000";
    default:
        return "42000";
    }
}
