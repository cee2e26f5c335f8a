#include "dialogs/lkavicodecdlg.h"

#include "platform/comctrls.h"
#include "platform/stdctrls.h"

TLKAVICodecDialog::TLKAVICodecDialog(TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Video Compression");
  SetBorderStyle(bsDialog);
  SetBounds(0, 0, 320, 190);
  SetPosition(poScreenCenter);
  auto* label = new TLabel(this);
  label->SetParent(this);
  label->SetBounds(10, 10, 200, 16);
  label->SetCaption("Compressor:");
  FList = new TListBox(this);
  FList->SetParent(this);
  FList->SetBounds(10, 30, 200, 110);
  // A double click chooses, as OK does.
  FList->OnDblClick = [this](TObject*) {
    if (FList->GetItemIndex() >= 0) SetModalResult(mrOk);
  };
  FOk = new TButton(this);
  FOk->SetParent(this);
  FOk->SetBounds(225, 30, 80, 25);
  FOk->SetCaption("OK");
  FOk->SetDefault(true);
  FOk->SetModalResult(mrOk);
  auto* cancel = new TButton(this);
  cancel->SetParent(this);
  cancel->SetBounds(225, 62, 80, 25);
  cancel->SetCaption("Cancel");
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
}

void TLKAVICodecDialog::SetCompressors(const std::vector<TLKAVICompressor>& Compressors) {
  FCompressors = Compressors;
  FList->GetItems()->Clear();
  for (const TLKAVICompressor& c : FCompressors) FList->GetItems()->Add(c.Name);
  FList->SetItemIndex(FCompressors.empty() ? -1 : 0);
}

bool TLKAVICodecDialog::Execute() {
  FCode.clear();
  if (ShowModal() != mrOk) return false;
  const Integer i = FList->GetItemIndex();
  if (i < 0 || size_t(i) >= FCompressors.size()) return false;
  FCode = FCompressors[size_t(i)].Code;
  return true;
}

void LKInstallAVICodecDialog() {
  LKSetAVICodecChooser([](const std::vector<TLKAVICompressor>& Compressors, String& Code) {
    TLKAVICodecDialog dialog;
    dialog.SetCompressors(Compressors);
    if (!dialog.Execute()) return false;
    Code = dialog.GetCode();
    return true;
  });
}
