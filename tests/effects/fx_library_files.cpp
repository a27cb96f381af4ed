#include "fx_library_files.h"

#include "fx_library_builder.h"

std::string WriteLibrary(const TempDir& dir, const std::string& description,
                         const std::string& name) {
    return dir.write(name, BuildEffectsLibrary(description));
}

std::string FullEffect(const std::string& name) {
    return R"(rifx PTXT
  ckid "FX" "1" ")" +
           name + R"("
  code
    0x06 0x040 0x100 0x101 0x102
    0x0F 0xFFFF 0x8000 0x03FF 0x0400
    0xFF 0x0001 0x0002 0x0003 0x0004
  end
  rsrc 0x0001 0x0002
  list gpri
    gprs 0x0000 0x8000 0xFFFF
    tram 0x0010
    xtra 0x0020 0x0021
  end
  list patc
    inp 0x0000 0x0001
    outp 0x0020
    list scal
      iscl 0x7FFF
      wscl 0x4000 0x4001
    end
  end
end
)";
}

std::string TinyEffect(const std::string& name, int rsrcWord) {
    return "rifx PTXT\n  ckid \"FX\" \"1\" \"" + name + "\"\n  rsrc " + std::to_string(rsrcWord) +
           "\nend\n";
}
