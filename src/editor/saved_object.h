#pragma once
// Base of the editor classes that save themselves to a stream and load themselves from one.
// Clone and assign go through a memory stream, so a class only writes its save and load.

#include <memory>
#include <string>

#include "editor/streams.h"

namespace tarnwick {

class TSM_Base {
public:
    virtual ~TSM_Base() = default;

    virtual void SaveToStream(TStream&) const {}
    virtual void LoadFromStream(TStream&) {}
    // The class name shown in messages ("Cannot assign a %s to %s").
    virtual std::string ClassName() const { return "TSM_Base"; }

    // A new object of the same class with the same contents.
    std::unique_ptr<TSM_Base> Clone() const;
    // Copies `source` into this object through a memory stream. Raises EDoravaVizu
    // "Cannot assign a %s to %s" when `source` is null or of another class.
    void Assign(const TSM_Base* source);

protected:
    // A fresh object of the same class, for Clone.
    virtual std::unique_ptr<TSM_Base> CreateEmpty() const { return std::make_unique<TSM_Base>(); }
};

}  // namespace tarnwick
