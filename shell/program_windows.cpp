#include "shell/program_windows.h"

#include "groups/u_gid.h"
#include "main_window/main_form.h"
#include "shell/apropos.h"
#include "shell/console.h"

void CreateProgramWindows() {
  Form1 = new TForm1;
  F_edition = new TF_edition;
  F_edition->UseFetchGuard(Form1->Fetches());
  Form2 = new TForm2;
  Form3 = new TForm3;
}

void DestroyProgramWindows() {
  delete Form3;
  Form3 = nullptr;
  delete Form2;
  Form2 = nullptr;
  delete F_edition;
  F_edition = nullptr;
  delete Form1;
  Form1 = nullptr;
}
