#include "Engine/Data/DataBinding.h"

#include "Engine/Data/DataStorage.h"

#include <algorithm>

void StorageBinding::write(const void* block) {
    offset = storage->write(offset, block, range, false);
}

void ListenedBinding::removeListener(BindingListener* listener) {
    auto it = std::find(listeners.begin(), listeners.end(), listener);
    if (it != listeners.end())
        listeners.erase(it);
}
