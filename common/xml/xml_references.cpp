// Named character references: the 252 of HTML 4.01 plus "apos".
//
// 130 buckets; a name's bucket is the sum of its lower-cased character codes
// modulo 130. Each bucket is a run of entries "L CCCC name" without spaces:
// one digit for the name length, four for the code point, then the name as
// HTML writes it. Where two names differ only in case (Oslash, oslash) the
// capitalised one comes first; lookup prefers the entry of the exact case and
// otherwise takes the first entry that matches without regard to case, so
// &AMP; still reads as "&".
#include "common/xml/xml_chars.h"
#include "common/xml/xml_scanner.h"

namespace kavrel {
namespace xml {
namespace {

constexpr int kReferenceBuckets = 130;

// clang-format off
constexpr const char* kReferenceTable[kReferenceBuckets] = {
    "60216Oslash60248oslash60217Ugrave60249ugrave",  // 0
    "58968lceil50937Omega50969omega60221Yacute60253yacute",  // 1
    "50916Delta50948delta50206Icirc50238icirc68472weierp",  // 2
    "40185sup1",  // 3
    "68970lfloor40178sup2",  // 4
    "60164curren50922Kappa50954kappa58212mdash40179sup3",  // 5
    "59830diams58211ndash",  // 6
    "68855otimes58969rceil",  // 7
    "50212Ocirc50244ocirc50338OElig50339oelig58482trade",  // 8
    "50197Aring50229aring50931Sigma50963sigma",  // 9
    "50180acute68971rfloor50732tilde",  // 10
    "68249lsaquo",  // 11
    "58734infin68201thinsp",  // 12
    "50161iexcl",  // 13
    "50920Theta50952theta50219Ucirc50251ucirc",  // 14
    "58254oline",  // 15
    "58260frasl68727lowast",  // 16
    "59827clubs60191iquest68250rsaquo",  // 17
    "58629crarr50181micro",  // 18
    "58222bdquo",  // 19
    "",  // 20
    "60177plusmn58243Prime58242prime",  // 21
    "40914Beta40946beta",  // 22
    "",  // 23
    "",  // 24
    "",  // 25
    "50171laquo50215times",  // 26
    "40710circ",  // 27
    "49001lang",  // 28
    "58220ldquo40175macr",  // 29
    "40182para50163pound48476real",  // 30
    "",  // 31
    "58713notin50187raquo",  // 32
    "48773cong50223szlig50978upsih",  // 33
    "58776asymp58801equiv49002rang58218sbquo",  // 34
    "48659dArr48595darr40402fnof58221rdquo50222THORN50254thorn",  // 35
    "40162cent58722minus",  // 36
    "58707exist40170ordf",  // 37
    "",  // 38
    "58709empty48660hArr48596harr40921Iota40953iota",  // 39
    "",  // 40
    "40196Auml40228auml48226bull40167sect48838sube",  // 41
    "",  // 42
    "48656lArr48592larr58853oplus",  // 43
    "30176deg58216lsquo40186ordm",  // 44
    "40039apos40203Euml40235euml48712isin40160nbsp",  // 45
    "40918Zeta40950zeta",  // 46
    "38743and48195emsp48719prod",  // 47
    "38745cap30935Chi30967chi48194ensp",  // 48
    "40207Iuml40239iuml48706part48869perp48658rArr48594rarr",  // 49
    "38736ang48836nsub58217rsquo",  // 50
    "",  // 51
    "48901sdot48657uArr48593uarr",  // 52
    "40169copy48364euro",  // 53
    "30919Eta30951eta",  // 54
    "40214Ouml40246ouml48839supe",  // 55
    "",  // 56
    "",  // 57
    "30038amp30174reg",  // 58
    "48733prop",  // 59
    "",  // 60
    "30208ETH30240eth30934Phi30966phi40220Uuml40252uuml",  // 61
    "",  // 62
    "",  // 63
    "",  // 64
    "40376Yuml40255yuml",  // 65
    "",  // 66
    "40034quot48204zwnj",  // 67
    "38746cup68756there4",  // 68
    "30929Rho30961rho38764sim",  // 69
    "38834sub30932Tau30964tau",  // 70
    "38747int38206lrm38207rlm",  // 71
    "30936Psi30968psi30165yen",  // 72
    "",  // 73
    "28805ge30168uml",  // 74
    "30982piv",  // 75
    "",  // 76
    "30172not",  // 77
    "",  // 78
    "28804le",  // 79
    "30173shy",  // 80
    "39674loz28800ne38721sum",  // 81
    "",  // 82
    "",  // 83
    "38835sup",  // 84
    "28715ni",  // 85
    "",  // 86
    "20928Pi20960pi38205zwj",  // 87
    "",  // 88
    "20062gt60923Lambda60955lambda",  // 89
    "",  // 90
    "",  // 91
    "60199Ccedil60231ccedil",  // 92
    "",  // 93
    "20060lt",  // 94
    "28744or20926Xi20958xi",  // 95
    "20924Mu20956mu",  // 96
    "20925Nu20957nu",  // 97
    "68225Dagger68224dagger",  // 98
    "80977thetasym",  // 99
    "",  // 100
    "",  // 101
    "",  // 102
    "78501alefsym",  // 103
    "",  // 104
    "",  // 105
    "",  // 106
    "60193Aacute60225aacute60195Atilde60227atilde",  // 107
    "",  // 108
    "60247divide70927Omicron70959omicron",  // 109
    "60192Agrave60224agrave",  // 110
    "60201Eacute60233eacute60962sigmaf",  // 111
    "70917Epsilon70949epsilon",  // 112
    "",  // 113
    "60200Egrave60232egrave",  // 114
    "60205Iacute60237iacute",  // 115
    "",  // 116
    "",  // 117
    "68230hellip60204Igrave60236igrave",  // 118
    "60166brvbar",  // 119
    "68704forall58711nabla60209Ntilde60241ntilde69824spades",  // 120
    "60189frac1260183middot60211Oacute60243oacute60213Otilde60245otilde",  // 121
    "",  // 122
    "50184cedil60188frac14",  // 123
    "50194Acirc50226acirc50198AElig50230aelig60210Ograve60242ograve",  // 124
    "60190frac3450915Gamma50947gamma58465image58730radic",  // 125
    "60352Scaron60353scaron",  // 126
    "69829hearts60218Uacute60250uacute",  // 127
    "50913Alpha50945alpha50202Ecirc50234ecirc70933Upsilon70965upsilon",  // 128
    "68240permil",  // 129
};
// clang-format on

}  // namespace

std::uint32_t NamedReference(TextView name) {
  if (name.empty() || name.size() > 9) return 0;
  unsigned sum = 0;
  for (char16_t c : name) {
    if (c >= 128) return 0;
    sum += FoldAsciiLower(c);
  }
  std::uint32_t folded = 0;
  for (const char* p = kReferenceTable[sum % kReferenceBuckets]; *p;) {
    const std::size_t length = static_cast<std::size_t>(p[0] - '0');
    const std::uint32_t code = static_cast<std::uint32_t>(
        (p[1] - '0') * 1000 + (p[2] - '0') * 100 + (p[3] - '0') * 10 + (p[4] - '0'));
    const char* entry = p + 5;
    p = entry + length;
    if (length != name.size()) continue;
    bool same = true, exact = true;
    for (std::size_t i = 0; i < length && same; ++i) {
      const char16_t e = static_cast<unsigned char>(entry[i]);
      if (e != name[i]) exact = false;
      same = FoldAsciiLower(e) == FoldAsciiLower(name[i]);
    }
    if (!same) continue;
    if (exact) return code;
    if (!folded) folded = code;
  }
  return folded;
}

}  // namespace xml
}  // namespace kavrel
