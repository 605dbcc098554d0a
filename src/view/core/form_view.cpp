#include "view/core/form_view.h"

namespace tk {

FormView::FormView(TForm& form, std::unique_ptr<BindingMaker> maker)
    : maker_(std::move(maker)), core_(std::make_unique<FormViewCore>(form, *maker_)) {}

FormView::~FormView() = default;

}  // namespace tk
