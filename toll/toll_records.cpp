#include "toll/toll_records.h"

TollInputParam::tItemAry::tItemAry() = default;
TollInputParam::tItemAry::tItemAry(const tItemAry& other) = default;
TollInputParam::tItemAry& TollInputParam::tItemAry::operator=(const tItemAry& other) = default;
TollInputParam::tItemAry::~tItemAry() = default;

TollResultRaw::tItemAry::tItemAry() = default;
TollResultRaw::tItemAry::tItemAry(const tItemAry& other) = default;
TollResultRaw::tItemAry& TollResultRaw::tItemAry::operator=(const tItemAry& other) = default;
TollResultRaw::tItemAry::~tItemAry() = default;

TollResultRaw::tProfAry::tProfAry() = default;
TollResultRaw::tProfAry::tProfAry(const tProfAry& other) = default;
TollResultRaw::tProfAry& TollResultRaw::tProfAry::operator=(const tProfAry& other) = default;
TollResultRaw::tProfAry::~tProfAry() = default;

TollResult::TollResult() = default;
TollResult::TollResult(TollResultRaw* raw) : p_(raw) {}
TollResult::TollResult(const TollResult& other) = default;
TollResult& TollResult::operator=(const TollResult& other) = default;
TollResult::~TollResult() = default;

FacilName::FacilName() = default;
FacilName::FacilName(const FacilName& other) = default;
FacilName& FacilName::operator=(const FacilName& other) = default;
FacilName::~FacilName() = default;

DiscountName::DiscountName() = default;
DiscountName::DiscountName(const DiscountName& other) = default;
DiscountName& DiscountName::operator=(const DiscountName& other) = default;
DiscountName::~DiscountName() = default;
