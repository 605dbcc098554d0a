#include "view/core/binding_maker.h"

namespace tk {

std::unique_ptr<ControlBinding> MakeBinding(BindingMaker& maker, TControl& control,
                                            NativeControl* container) {
  if (auto* c = dynamic_cast<TLabel*>(&control)) return maker.MakeLabel(*c, container);
  if (auto* c = dynamic_cast<TButton*>(&control)) return maker.MakeButton(*c, container);
  if (auto* c = dynamic_cast<TPanel*>(&control)) return maker.MakePanel(*c, container);
  if (auto* c = dynamic_cast<TEdit*>(&control)) return maker.MakeEdit(*c, container);
  if (auto* c = dynamic_cast<TComboBox*>(&control)) return maker.MakeComboBox(*c, container);
  if (auto* c = dynamic_cast<TMemo*>(&control)) return maker.MakeMemo(*c, container);
  if (auto* c = dynamic_cast<TGauge*>(&control)) return maker.MakeGauge(*c, container);
  return maker.MakeContainer(control, container);
}

}  // namespace tk
