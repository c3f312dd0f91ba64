// What decides whether the library may be unloaded: live units and class-factory locks.
#pragma once

namespace kelo::service {

// Taken by every unit for its whole life.
void AddLibraryInstance();
void RemoveLibraryInstance();
// IClassFactory::LockServer.
void LockLibrary(bool lock);
// True when no unit lives and no lock is held.
bool LibraryCanUnload();

}  // namespace kelo::service
