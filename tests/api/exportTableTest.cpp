// Checks the exported interface of the built shared library against one table of ordinals,
// names and argument counts, and checks the module-definition file and the public header
// against the same table.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct exportEntry {
    int ordinal;
    const char* name;
    int argumentCount;
};

// clang-format off
const exportEntry kExpectedExports[] = {
    {1, "ZEL_CAM_GetApiVersion", 1},
    {2, "ZEL_CAM_GetApiBuild", 1},
    {3, "ZEL_CAM_GetApiVersionNumber", 1},
    {4, "ZEL_CAM_getLine", 4},
    {5, "ZEL_CAM_getToggleState", 2},
    {9, "ZEL_CAM_InitName", 6},
    {10, "ZEL_CAM_Init", 3},
    {11, "ZEL_CAM_Destroy", 1},
    {12, "ZEL_CAM_Open", 1},
    {13, "ZEL_CAM_Close", 1},
    {14, "ZEL_CAM_Start", 3},
    {15, "ZEL_CAM_Stop", 1},
    {16, "ZEL_CAM_StartPic", 3},
    {17, "ZEL_CAM_SetVideoScale", 4},
    {18, "ZEL_CAM_GetFrameCounters", 4},
    {100, "ZEL_CAM_FrameCallback", 3},
    {101, "ZEL_CAM_StatusCallback", 3},
    {102, "ZEL_CAM_setLogCallback", 3},
    {103, "ZEL_CAM_stopLogCallback", 0},
    {104, "ZEL_CAM_setLogLevel", 1},
    {105, "ZEL_CAM_setLogFilePath", 1},
    {106, "ZEL_CAM_setLogState", 2},
    {107, "ZEL_CAM_getLogTotalErrorCnt", 0},
    {197, "ZEL_CAM_GetHeadInfo", 2},
    {198, "ZEL_CAM_Fx3GetUSBSpeed", 2},
    {199, "ZEL_CAM_Fx3GetSerialNumber", 2},
    {200, "ZEL_CAM_Fx3SetSerialNumber", 2},
    {201, "ZEL_CAM_Fx3FirmwareUpdate", 2},
    {202, "ZEL_CAM_Fx3FirwwareUpdateProgress", 2},
    {203, "ZEL_CAM_Fx3FirmwareErase", 1},
    {204, "ZEL_CAM_FpgaCcuFirmwareUpdate", 2},
    {205, "ZEL_CAM_FpgaCcuFirmwareUpdateProgress", 4},
    {206, "ZEL_CAM_SpiRead", 4},
    {207, "ZEL_CAM_SpiReadId", 2},
    {208, "ZEL_CAM_WriteCalEep", 5},
    {209, "ZEL_CAM_ReadCalEep", 5},
    {210, "ZEL_CAM_FpgaHeadFirmwareUpdate", 2},
    {211, "ZEL_CAM_FpgaHeadFirmwareUpdateProgress", 2},
    {212, "ZEL_CAM_StartCalibration", 4},
    {213, "ZEL_CAM_CheckCalibration", 3},
    {220, "ZEL_CAM_UpHeadFirmwareUpdate", 2},
    {221, "ZEL_CAM_UpHeadFirmwareUpdateProgress", 3},
    {222, "ZEL_CAM_UpHeadSetSerialNumber", 2},
    {223, "ZEL_CAM_UpHeadSetEnableCode", 2},
    {226, "ZEL_CAM_UpLedFirmwareUpdate", 2},
    {227, "ZEL_CAM_UpUFTFirmwareUpdate", 2},
    {228, "ZEL_CAM_FpgaOsdGraficUpdate", 2},
    {234, "ZEL_CAM_Fx3SetHWRev", 2},
    {235, "ZEL_CAM_UpHeadSetHWrev", 2},
    {250, "ZEL_CAM_WriteI2c", 6},
    {251, "ZEL_CAM_ReadI2c", 6},
    {252, "ZEL_CAM_GetGyro", 3},
    {253, "ZEL_CAM_upHead", 5},
    {255, "ZEL_CAM_SaveDspToEEp", 1},
    {256, "ZEL_CAM_SaveJPG", 3},
    {257, "ZEL_CAM_SaveRAW", 2},
    {258, "ZEL_CAM_SaveBMP", 3},
    {259, "ZEL_CAM_SetBMPOptions", 2},
    {300, "ZEL_CAM_getVectorscopeArr", 2},
    {301, "ZEL_CAM_getVectorscopeArrW", 3},
    {302, "ZEL_CAM_getHistogramArr", 2},
    {303, "ZEL_CAM_getHistogramArrW", 3},
    {304, "ZEL_CAM_getWave", 4},
    {305, "ZEL_CAM_getWaveW", 5},
    {306, "ZEL_CAM_getRGBWave", 4},
    {307, "ZEL_CAM_getRGBWaveW", 5},
    {400, "ZEL_CAM_getEdgeEnhancement", 7},
    {401, "ZEL_CAM_setEdgeEnhancement", 7},
    {402, "ZEL_CAM_getCrCbGain", 6},
    {403, "ZEL_CAM_setCrCbGain", 6},
    {404, "ZEL_CAM_getHue", 2},
    {405, "ZEL_CAM_setHue", 2},
    {406, "ZEL_CAM_getSaturation", 2},
    {407, "ZEL_CAM_setSaturation", 2},
    {408, "ZEL_CAM_getMaskEnable", 4},
    {409, "ZEL_CAM_setMaskEnable", 4},
    {410, "ZEL_CAM_getMaskParams", 6},
    {411, "ZEL_CAM_setMaskParams", 6},
    {412, "ZEL_CAM_getGamma", 4},
    {413, "ZEL_CAM_setGamma", 4},
    {414, "ZEL_CAM_getGain", 2},
    {415, "ZEL_CAM_setGain", 2},
    {416, "ZEL_CAM_getSobel", 6},
    {417, "ZEL_CAM_setSobel", 6},
    {418, "ZEL_CAM_getWbWindow", 6},
    {419, "ZEL_CAM_setWbWindow", 6},
    {420, "ZEL_CAM_doWbPush", 1},
    {421, "ZEL_CAM_getColorMatrix", 2},
    {422, "ZEL_CAM_setColorMatrix", 2},
    {423, "ZEL_CAM_getWindowSizes", 2},
    {424, "ZEL_CAM_setWindowSizes", 2},
    {425, "ZEL_CAM_getWindowPosition", 2},
    {426, "ZEL_CAM_setWindowPosition", 2},
    {427, "ZEL_CAM_getTarget", 2},
    {428, "ZEL_CAM_setTarget", 2},
    {429, "ZEL_CAM_getAEValues", 2},
    {430, "ZEL_CAM_setAEValues", 2},
    {431, "ZEL_CAM_getKeySetting", 2},
    {432, "ZEL_CAM_setKeySetting", 2},
    {433, "ZEL_CAM_readQprFile", 3},
    {434, "ZEL_CAM_writeQprFile", 3},
    {435, "ZEL_CAM_getEdgeMode", 2},
    {436, "ZEL_CAM_setEdgeMode", 2},
    {437, "ZEL_CAM_setColorMode", 2},
    {438, "ZEL_CAM_getScale", 6},
    {439, "ZEL_CAM_setScale", 6},
    {440, "ZEL_CAM_getMeasVals", 2},
    {441, "ZEL_CAM_setWindowAEMode", 2},
    {442, "ZEL_CAM_DispSetSerialNumber", 2},
    {443, "ZEL_CAM_SetJPGOptions", 2},
    {444, "ZEL_CAM_getOffset", 2},
    {445, "ZEL_CAM_setOffset", 2},
    {446, "ZEL_CAM_getCamType", 2},
    {447, "ZEL_CAM_setCamType", 2},
    {448, "ZEL_CAM_rqUpInt", 1},
    {449, "ZEL_CAM_setRawMode", 2},
    {450, "ZEL_CAM_fx3Config", 5},
    {451, "ZEL_CAM_setAutorestart", 2},
    {452, "ZEL_CAM_getIni", 3},
    {453, "ZEL_CAM_getGammaChroma", 3},
    {454, "ZEL_CAM_setGammaChroma", 3},
    {455, "ZEL_CAM_getHvFlip", 3},
    {456, "ZEL_CAM_setHvFlip", 3},
    {457, "ZEL_CAM_getDpcConfig", 4},
    {458, "ZEL_CAM_setDpcConfig", 3},
    {459, "ZEL_CAM_setDpcDetect", 1},
    {460, "ZEL_CAM_getDpcTable", 2},
    {461, "ZEL_CAM_setDpcTable", 2},
    {462, "ZEL_CAM_getOvExp", 4},
    {463, "ZEL_CAM_setOvExp", 4},
    {464, "ZEL_CAM_getOvExpTarget", 5},
    {465, "ZEL_CAM_setOvExpTarget", 5},
    {466, "ZEL_CAM_getOvExpWeight", 6},
    {467, "ZEL_CAM_setOvExpWeight", 6},
    {468, "ZEL_CAM_getucConfig", 2},
    {469, "ZEL_CAM_setucConfig", 2},
    {470, "ZEL_CAM_getBinning", 3},
    {471, "ZEL_CAM_setBinning", 3},
    {472, "ZEL_CAM_doWbPushCb", 3},
    {473, "ZEL_CAM_getScaleZ", 7},
    {474, "ZEL_CAM_setScaleZ", 7},
    {475, "ZEL_CAM_getOvExpTargetSteps", 6},
    {476, "ZEL_CAM_setOvExpTargetSteps", 6},
    {477, "ZEL_CAM_getBayerMode", 2},
    {478, "ZEL_CAM_setBayerMode", 2},
    {479, "ZEL_CAM_getHvFlipStatic", 5},
    {500, "ZEL_CAM_recStart", 1},
    {501, "ZEL_CAM_recStop", 1},
    {502, "ZEL_CAM_recCapture", 1},
    {503, "ZEL_CAM_recUpdate", 1},
    {504, "ZEL_CAM_recReboot", 1},
    {505, "ZEL_CAM_recExplorer", 1},
    {506, "ZEL_CAM_recSetDate", 1},
    {507, "ZEL_CAM_recSetCmd", 2},
    {508, "ZEL_CAM_recSetDebugMode", 2},
    {509, "ZEL_CAM_recSetOsdRec", 1},
    {510, "ZEL_CAM_recCopyLogfile", 1},
    {511, "ZEL_CAM_recReinitOsd", 1},
    {512, "ZEL_CAM_recPrepareUsb", 1},
    {800, "ZEL_CAM_getDiffArr", 2},
};
// clang-format on

std::set<std::string> expectedNames() {
    std::set<std::string> names;
    for (const exportEntry& entry : kExpectedExports) {
        names.insert(entry.name);
    }
    return names;
}

std::string readFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error(std::string("cannot read ") + path);
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// ---- The dynamic symbol table of an ELF file ----

struct dynamicSymbol {
    std::string name;
    unsigned type;
    unsigned binding;
    unsigned visibility;
    bool defined;
    uint64_t value;
};

struct elfExports {
    std::vector<dynamicSymbol> symbols;
    std::string soname;
};

template <class T>
T readAt(const std::string& bytes, uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        throw std::runtime_error("ELF structure beyond the end of the file");
    }
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

std::string stringAt(const std::string& bytes, uint64_t tableOffset, uint64_t tableSize,
                     uint64_t index) {
    if (index >= tableSize || tableOffset + tableSize > bytes.size()) {
        throw std::runtime_error("ELF string beyond its table");
    }
    const char* start = bytes.data() + tableOffset + index;
    return std::string(start, strnlen(start, tableSize - index));
}

template <class Ehdr, class Shdr, class Sym, class Dyn>
class elfReader {
  public:
    explicit elfReader(const std::string& bytes) : bytes_(bytes) {
        const auto header = readAt<Ehdr>(bytes_, 0);
        for (unsigned i = 0; i < header.e_shnum; ++i) {
            sections_.push_back(
                readAt<Shdr>(bytes_, header.e_shoff + uint64_t{i} * header.e_shentsize));
        }
    }

    elfExports read() const {
        elfExports result;
        for (const Shdr& section : sections_) {
            if (section.sh_type == SHT_DYNSYM) {
                readSymbols(section, result.symbols);
            } else if (section.sh_type == SHT_DYNAMIC) {
                result.soname = readSoname(section);
            }
        }
        return result;
    }

  private:
    const Shdr& linkedSection(const Shdr& section) const {
        if (section.sh_link >= sections_.size()) {
            throw std::runtime_error("ELF section link out of range");
        }
        return sections_[section.sh_link];
    }

    void readSymbols(const Shdr& table, std::vector<dynamicSymbol>& out) const {
        const Shdr& strings = linkedSection(table);
        const uint64_t count = table.sh_size / sizeof(Sym);
        for (uint64_t i = 1; i < count; ++i) {  // entry 0 is the null symbol
            const auto sym = readAt<Sym>(bytes_, table.sh_offset + i * sizeof(Sym));
            out.push_back({stringAt(bytes_, strings.sh_offset, strings.sh_size, sym.st_name),
                           static_cast<unsigned>(ELF64_ST_TYPE(sym.st_info)),
                           static_cast<unsigned>(ELF64_ST_BIND(sym.st_info)),
                           static_cast<unsigned>(ELF64_ST_VISIBILITY(sym.st_other)),
                           sym.st_shndx != SHN_UNDEF, static_cast<uint64_t>(sym.st_value)});
        }
    }

    std::string readSoname(const Shdr& dynamic) const {
        const Shdr& strings = linkedSection(dynamic);
        const uint64_t count = dynamic.sh_size / sizeof(Dyn);
        for (uint64_t i = 0; i < count; ++i) {
            const auto entry = readAt<Dyn>(bytes_, dynamic.sh_offset + i * sizeof(Dyn));
            if (entry.d_tag == DT_NULL) {
                break;
            }
            if (entry.d_tag == DT_SONAME) {
                return stringAt(bytes_, strings.sh_offset, strings.sh_size, entry.d_un.d_val);
            }
        }
        return std::string();
    }

    const std::string& bytes_;
    std::vector<Shdr> sections_;
};

elfExports readElfExports(const char* path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < EI_NIDENT || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0) {
        throw std::runtime_error(std::string(path) + " is not an ELF file");
    }
    if (bytes[EI_CLASS] == ELFCLASS64) {
        return elfReader<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, Elf64_Dyn>(bytes).read();
    }
    return elfReader<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, Elf32_Dyn>(bytes).read();
}

// Symbols another module can bind to: defined, global or weak, not hidden.
std::vector<dynamicSymbol> exportedSymbols(const elfExports& elf) {
    std::vector<dynamicSymbol> exported;
    for (const dynamicSymbol& sym : elf.symbols) {
        const bool bindable =
            sym.binding == STB_GLOBAL || sym.binding == STB_WEAK || sym.binding == STB_GNU_UNIQUE;
        const bool visible = sym.visibility == STV_DEFAULT || sym.visibility == STV_PROTECTED;
        if (sym.defined && bindable && visible) {
            exported.push_back(sym);
        }
    }
    return exported;
}

// ---- The module-definition file and the header ----

// Name -> ordinal of every "name @ordinal" line.
std::map<std::string, int> readDefinitionFile(const char* path, std::string& libraryLine) {
    std::istringstream text(readFile(path));
    std::map<std::string, int> ordinals;
    std::string line;
    while (std::getline(text, line)) {
        if (line.rfind("LIBRARY", 0) == 0) {
            libraryLine = line;
            continue;
        }
        std::istringstream words(line);
        std::string name;
        std::string ordinal;
        std::string rest;
        if (!std::isspace(static_cast<unsigned char>(line.front())) ||
            !(words >> name >> ordinal) || (words >> rest) || ordinal.size() < 2 ||
            ordinal[0] != '@') {
            continue;
        }
        EXPECT_TRUE(ordinals.emplace(name, std::stoi(ordinal.substr(1))).second)
            << name << " listed twice";
    }
    return ordinals;
}

// The header without comments and preprocessor lines.
std::string declarationsOnly(const std::string& header) {
    std::string code;
    for (std::size_t i = 0; i < header.size();) {
        if (header.compare(i, 2, "/*") == 0) {
            const std::size_t end = header.find("*/", i + 2);
            i = end == std::string::npos ? header.size() : end + 2;
            code += ' ';
        } else if (header[i] == '#' && (i == 0 || header[i - 1] == '\n')) {
            i = std::min(header.find('\n', i), header.size());
        } else {
            code += header[i++];
        }
    }
    return code;
}

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

std::string lastIdentifier(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    std::size_t begin = end;
    while (begin > 0 &&
           (std::isalnum(static_cast<unsigned char>(text[begin - 1])) || text[begin - 1] == '_')) {
        --begin;
    }
    return text.substr(begin, end - begin);
}

int argumentCount(const std::string& arguments) {
    std::string words;
    std::istringstream(arguments) >> words;
    if (words.empty() ||
        (words == "void" && isBlank(arguments.substr(arguments.find("void") + 4)))) {
        return 0;
    }
    return 1 + static_cast<int>(std::count(arguments.begin(), arguments.end(), ','));
}

// Name -> argument count of every exported prototype ("DRAVIX_API <result> <name>(<args>);").
std::map<std::string, int> readHeaderPrototypes(const char* path) {
    const std::string code = declarationsOnly(readFile(path));
    const std::string marker = "DRAVIX_API";
    std::map<std::string, int> counts;
    for (std::size_t at = code.find(marker); at != std::string::npos;
         at = code.find(marker, at + marker.size())) {
        const std::size_t open = code.find('(', at);
        const std::size_t close = code.find(')', open);
        const std::size_t semicolon = code.find(';', close);
        if (open == std::string::npos || close == std::string::npos ||
            semicolon == std::string::npos ||
            !isBlank(code.substr(close + 1, semicolon - close - 1))) {
            ADD_FAILURE() << "unreadable prototype at " << code.substr(at, 60);
            continue;
        }
        const std::string name = lastIdentifier(code.substr(at, open - at));
        EXPECT_EQ(name.rfind("ZEL_CAM_", 0), 0u) << name;
        EXPECT_TRUE(
            counts.emplace(name, argumentCount(code.substr(open + 1, close - open - 1))).second)
            << name << " declared twice";
    }
    return counts;
}

// ---- Tests ----

TEST(exportTable, expectedTableIsConsistent) {
    std::set<int> ordinals;
    for (const exportEntry& entry : kExpectedExports) {
        EXPECT_TRUE(ordinals.insert(entry.ordinal).second) << entry.ordinal;
    }
    EXPECT_EQ(ordinals.size(), 160u);
    EXPECT_EQ(expectedNames().size(), 160u);
}

TEST(exportTable, libraryExportsExactlyTheInterfaceFunctions) {
    const elfExports elf = readElfExports(DRAVIX_LIBRARY_FILE);
    std::set<std::string> exported;
    for (const dynamicSymbol& sym : exportedSymbols(elf)) {
        EXPECT_EQ(sym.type, unsigned{STT_FUNC}) << sym.name << " is not a function";
        EXPECT_EQ(sym.binding, unsigned{STB_GLOBAL}) << sym.name << " is not a global symbol";
        EXPECT_TRUE(exported.insert(sym.name).second) << sym.name << " exported twice";
    }
    EXPECT_EQ(exported, expectedNames());
    EXPECT_EQ(elf.soname, "libdravix.so.2");
}

TEST(exportTable, analysisFunctionsOfOneArityShareOneImplementation) {
    std::map<std::string, uint64_t> address;
    for (const dynamicSymbol& sym : exportedSymbols(readElfExports(DRAVIX_LIBRARY_FILE))) {
        address[sym.name] = sym.value;
    }
    const std::vector<std::vector<const char*>> groups = {
        {"ZEL_CAM_getVectorscopeArr", "ZEL_CAM_getHistogramArr", "ZEL_CAM_getDiffArr"},
        {"ZEL_CAM_getVectorscopeArrW", "ZEL_CAM_getHistogramArrW"},
        {"ZEL_CAM_getLine", "ZEL_CAM_getWave", "ZEL_CAM_getRGBWave"},
        {"ZEL_CAM_getWaveW", "ZEL_CAM_getRGBWaveW"},
    };
    std::set<uint64_t> implementations;
    for (const auto& group : groups) {
        for (const char* name : group) {
            ASSERT_EQ(address.count(name), 1u) << name;
            EXPECT_EQ(address[name], address[group.front()]) << name;
        }
        implementations.insert(address[group.front()]);
    }
    EXPECT_EQ(implementations.size(), groups.size());
}

TEST(exportTable, definitionFileListsEveryExportUnderItsOrdinal) {
    std::string libraryLine;
    const std::map<std::string, int> ordinals = readDefinitionFile(DRAVIX_DEF_FILE, libraryLine);
    EXPECT_EQ(libraryLine, "LIBRARY dravix");
    EXPECT_EQ(ordinals.size(), std::size(kExpectedExports));
    for (const exportEntry& entry : kExpectedExports) {
        const auto it = ordinals.find(entry.name);
        ASSERT_NE(it, ordinals.end()) << entry.name << " missing";
        EXPECT_EQ(it->second, entry.ordinal) << entry.name;
    }
}

TEST(exportTable, headerDeclaresEveryExportWithItsArguments) {
    const std::map<std::string, int> counts = readHeaderPrototypes(DRAVIX_HEADER_FILE);
    EXPECT_EQ(counts.size(), std::size(kExpectedExports));
    for (const exportEntry& entry : kExpectedExports) {
        const auto it = counts.find(entry.name);
        ASSERT_NE(it, counts.end()) << entry.name << " missing";
        EXPECT_EQ(it->second, entry.argumentCount) << entry.name;
    }
}

}  // namespace
