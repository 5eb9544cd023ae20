;;; isa4.el --- isa4 sources in Emacs, with isa4 lsp through eglot  -*- lexical-binding: t -*-

;; Load from the init file:
;;
;;   (load "/path/to/isa4.el")
;;
;; Files ending in .isa4 open in `isa4-mode'.  Other assemblers use .s too, so .s files
;; are left to `asm-mode' unless a pattern names them, for example a course folder:
;;
;;   (add-to-list 'auto-mode-alist '("/isa4-course/.*\\.s\\'" . isa4-mode))
;;
;; eglot comes with Emacs 29; on Emacs 28 (Debian 12) install the elpa-eglot package.
;; Set `isa4-program' when isa4 is not on PATH.

;;; Code:

(require 'asm-mode)

(defvar isa4-program "isa4"
  "The isa4 command that serves isa4 sources as a language server (isa4 lsp).")

(define-derived-mode isa4-mode asm-mode "isa4"
  "Major mode for isa4 assembly sources."
  (setq-local comment-start "; "))

(add-to-list 'auto-mode-alist '("\\.isa4\\'" . isa4-mode))

(with-eval-after-load 'eglot
  (add-to-list 'eglot-server-programs
               `(isa4-mode . ,(lambda (&rest _) (list isa4-program "lsp")))))

(when (require 'eglot nil t)
  (add-hook 'isa4-mode-hook #'eglot-ensure))

(provide 'isa4)
;;; isa4.el ends here
