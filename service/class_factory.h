// Creation and registration of the component: the class factory of CFiscalPrinterUnit and
// the work behind the three exported entry points (dll_exports.cc).
#pragma once
#include <string>

#include "platform/automation/class_factory.h"

namespace kelo::service {

// The class identifier of CFiscalPrinterUnit, registered with the program identifier.
inline constexpr automation::Guid kClsidFiscalPrinterUnit{
    0x4B1E0F90, 0x6C2D, 0x4E8A, {0x9F, 0x31, 0x5D, 0x7A, 0xC2, 0x48, 0x1B, 0x63}};
inline constexpr const char* kProgId = "soKeloFPU.KeloFPU";

// Each CreateInstance makes a new, independent unit reading the default configuration file.
class UnitClassFactory : public automation::IClassFactory {
 public:
  automation::HRESULT QueryInterface(const automation::Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  automation::HRESULT CreateInstance(automation::IUnknown* outer, const automation::Guid& iid,
                                     void** out) override;
  automation::HRESULT LockServer(bool lock) override;
};

automation::HRESULT GetClassObject(const automation::Guid* clsid, const automation::Guid* iid,
                                   void** out);
automation::HRESULT CanUnloadNow();
// Writes the class registration into the configuration store (the platform default file)
// with library_path as the in-process server.
automation::HRESULT RegisterServer(const std::string& library_path);
// The absolute path of the file this code was loaded from ("" when it cannot be told).
std::string OwnLibraryPath();

}  // namespace kelo::service
