#include "editor/saved_object.h"

#include <typeinfo>

namespace tarnwick {

std::unique_ptr<TSM_Base> TSM_Base::Clone() const
{
    std::unique_ptr<TSM_Base> copy = CreateEmpty();
    TMemoryStream stream;
    SaveToStream(stream);
    stream.SetPosition(0);
    copy->LoadFromStream(stream);
    return copy;
}

void TSM_Base::Assign(const TSM_Base* source)
{
    if (!source) throw EDoravaVizu("Cannot assign a nil to " + ClassName());
    // Another class's stream would be read as garbage.
    if (typeid(*source) != typeid(*this))
        throw EDoravaVizu("Cannot assign a " + source->ClassName() + " to " + ClassName());
    TMemoryStream stream;
    source->SaveToStream(stream);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

}  // namespace tarnwick
